// The station's live map: the station as a point, its bearing line in red, the DF state and the time
// of the last bearing, kept current by the station's event stream ("live"). Leaflet draws it over the
// operator's tiles and a coordinate grid of its own, so without any network the station, the line and
// the grid still show. The fix (fix.js) and the hunt over time (history.js) follow the same stream
// through window.tarnvale.on('status' | 'fix', handler); the stream starts once every script has run.
(function () {
    'use strict';

    var DF_TEXTS = {
        detected: 'DF = DETECTED',
        silent: 'DF = SILENT',
        off: 'DF INPUT = OFF',
        test: 'TEST : ON'
    };
    var LINE_METRES = 40234; // the 25-mile bearing line
    var GRID_STEPS = [0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30];

    function byId(id) { return document.getElementById(id); }

    if (!window.L) {
        byId('link').textContent = 'The station has no Leaflet to draw the map with (package libjs-leaflet).';
        byId('link').className = 'lost';
        return;
    }

    var body = document.body;
    var map = L.map('map', { worldCopyJump: true }).setView([0, 0], 2);
    L.tileLayer(body.getAttribute('data-tiles'), {
        maxZoom: 19,
        attribution: body.getAttribute('data-attribution')
    }).addTo(map);
    L.control.scale().addTo(map);

    var grid = L.layerGroup().addTo(map);
    var line = L.polyline([], { color: 'red', weight: 3 }).addTo(map);
    var station = L.circleMarker([0, 0], {
        radius: 7, color: '#1a237e', weight: 2, fillColor: '#ffeb3b', fillOpacity: 1
    }).addTo(map).bindTooltip('Station');

    function gridLabel(value, positive, negative) {
        var hemisphere = value > 0 ? positive : value < 0 ? negative : '';
        return Math.abs(value).toFixed(3).replace(/\.?0+$/, '') + '\u00b0' + hemisphere;
    }

    // Lines of latitude and longitude, at most six across the narrower side of the view, labelled at its
    // left and lower edges.
    function drawGrid() {
        grid.clearLayers();
        var b = map.getBounds();
        var span = Math.min(b.getNorth() - b.getSouth(), b.getEast() - b.getWest());
        var step = GRID_STEPS[GRID_STEPS.length - 1];
        for (var i = 0; i < GRID_STEPS.length; ++i) {
            if (span / GRID_STEPS[i] <= 6) { step = GRID_STEPS[i]; break; }
        }
        var style = { color: '#666', weight: 1, opacity: 0.5, interactive: false };
        var south = Math.max(b.getSouth(), -85), north = Math.min(b.getNorth(), 85);
        var lat, lon, text;
        for (lat = Math.ceil(south / step) * step; lat <= north; lat += step) {
            L.polyline([[lat, b.getWest()], [lat, b.getEast()]], style).addTo(grid);
            text = gridLabel(lat, 'N', 'S');
            L.marker([lat, b.getWest()], {
                interactive: false, keyboard: false,
                icon: L.divIcon({ className: 'grid-label', html: text, iconSize: null, iconAnchor: [-2, 8] })
            }).addTo(grid);
        }
        for (lon = Math.ceil(b.getWest() / step) * step; lon <= b.getEast(); lon += step) {
            L.polyline([[south, lon], [north, lon]], style).addTo(grid);
            text = gridLabel(((lon + 540) % 360) - 180, 'E', 'W');
            L.marker([south, lon], {
                interactive: false, keyboard: false,
                icon: L.divIcon({ className: 'grid-label', html: text, iconSize: null, iconAnchor: [-2, 18] })
            }).addTo(grid);
        }
    }
    map.on('moveend', drawGrid);

    function feature(status, type) {
        for (var i = 0; i < status.features.length; ++i) {
            if (status.features[i].geometry.type === type)
                return status.features[i];
        }
        return null;
    }

    function latLng(position) { return L.latLng(position[1], position[0]); }

    function twoDigits(n) { return (n < 10 ? '0' : '') + n; }

    var handlers = { status: [], fix: [] };
    function tell(kind, value) {
        handlers[kind].forEach(function (handler) { handler(value); });
    }

    var shownStation = null;
    function show(status) {
        var point = feature(status, 'Point');
        var bearingLine = feature(status, 'LineString');
        if (!point || !bearingLine)
            return;
        var at = latLng(point.geometry.coordinates);
        station.setLatLng(at);
        line.setLatLngs(bearingLine.geometry.coordinates.map(latLng));
        // The view follows the station when it first shows and whenever it moves, not every bearing.
        var key = point.geometry.coordinates.join(',');
        if (key !== shownStation) {
            shownStation = key;
            map.fitBounds(at.toBounds(2.2 * LINE_METRES));
        }

        var p = bearingLine.properties;
        var df = byId('df');
        df.textContent = DF_TEXTS[p.df] || p.df;
        df.className = 'df ' + p.df;
        byId('bearing').textContent = 'Bearing: ' + (p.bearing === null ? 'none' : p.bearing + '\u00b0');
        var time = byId('time');
        if (p.time) {
            var t = new Date(p.time);
            time.textContent = 'Last bearing: ' + twoDigits(t.getHours()) + ':' + twoDigits(t.getMinutes()) + ':'
                + twoDigits(t.getSeconds());
            time.title = p.time + ' (UTC)';
        } else {
            time.textContent = 'Last bearing: none';
            time.title = '';
        }
        window.tarnvale.status = status;
        tell('status', status);
    }

    function showFix(fix) {
        window.tarnvale.fix = fix;
        tell('fix', fix);
    }

    function linkState(text, lost) {
        var link = byId('link');
        link.textContent = text;
        link.className = lost ? 'lost' : '';
    }

    window.tarnvale = {
        map: map, line: line, station: station, grid: grid, status: null, fix: null,
        feature: feature, latLng: latLng,
        on: function (kind, handler) { handlers[kind].push(handler); }
    };

    // Asks for the status and the fix once a second: in browsers without event streams, and while every
    // stream the station keeps is in use.
    var polling = null;
    // An answer that comes after the stream has opened again is not shown: the stream is newer.
    function poll() {
        fetch('fix.json', { cache: 'no-store' })
            .then(function (response) { return response.json(); })
            .then(function (fix) {
                if (polling !== null)
                    showFix(fix);
            })
            .catch(function () {});
        fetch('status.json', { cache: 'no-store' })
            .then(function (response) { return response.json(); })
            .then(function (status) {
                if (polling !== null) {
                    show(status);
                    linkState('Updated once a second', false);
                }
            })
            .catch(function () {
                if (polling !== null)
                    linkState('Station not reachable: trying again', true);
            });
    }
    function startPolling() {
        if (polling === null) {
            polling = setInterval(poll, 1000);
            poll();
        }
    }
    function stopPolling() {
        if (polling !== null) {
            clearInterval(polling);
            polling = null;
        }
    }

    var STREAM_RETRY_MS = 5000; // the station's Retry-After when every stream is in use

    function follow() {
        var events = new EventSource('live');
        events.onopen = function () {
            stopPolling();
            linkState('Live from the station (port ' + location.port + ')', false);
        };
        events.onerror = function () {
            if (events.readyState === EventSource.CLOSED) {
                // Refused (every stream in use): the status once a second until a stream is free.
                events.close();
                startPolling();
                setTimeout(follow, STREAM_RETRY_MS);
            } else {
                linkState('Station not reachable: trying again', true);
            }
        };
        events.onmessage = function (message) { show(JSON.parse(message.data)); };
        events.addEventListener('fix', function (message) { showFix(JSON.parse(message.data)); });
    }

    drawGrid();
    document.addEventListener('DOMContentLoaded', function () {
        if (window.EventSource)
            follow();
        else
            startPolling();
    });
}());
