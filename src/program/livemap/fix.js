// Where the stations' lines cross: the peers' stations and lines (each peer in a colour of its own;
// a line the fix does not use is dashed), the fix as a marker inside its 95 % error ellipse, and the
// panel's text: the fix's latitude and longitude, the ellipse's size, how many stations' lines it
// rests on and how old it is, or why there is no fix. Follows the stream's fix events; reads
// fix.json once at load in case the stream is slow to open.
(function () {
    'use strict';

    var t = window.tarnvale;
    if (!t)
        return;

    // Any colour but the station's own red, one for each of the most peers a station reads.
    var COLOURS = ['#1565c0', '#2e7d32', '#ef6c00', '#6a1b9a', '#00838f', '#ad1457', '#5d4037', '#827717',
                   '#4fc3f7', '#9ccc65', '#ffb300', '#b39ddb', '#26a69a', '#f06292', '#90a4ae', '#212121'];
    var FIX_COLOUR = '#4a148c';

    function byId(id) { return document.getElementById(id); }

    // Peers keep their colour for the page's life, in the order they first showed.
    var colours = {};
    var coloured = 0;
    function colourOf(source) {
        if (!(source in colours))
            colours[source] = COLOURS[coloured++ % COLOURS.length];
        return colours[source];
    }

    // Under the station's own line, above the history's.
    var pane = t.map.createPane('peers');
    pane.style.zIndex = 390;
    var peers = L.layerGroup().addTo(t.map);
    var ellipse = L.polygon([], {
        color: FIX_COLOUR, weight: 2, fillColor: FIX_COLOUR, fillOpacity: 0.15, interactive: false
    }).addTo(t.map);
    var marker = L.marker([0, 0], { title: 'Fix', keyboard: false });

    // A longitude moved by whole turns to within half a turn of `reference`, so that nothing drawn
    // near the 180th meridian goes round the world.
    function near(longitude, reference) {
        return longitude + 360 * Math.round((reference - longitude) / 360);
    }
    function latLngNear(position, reference) {
        return L.latLng(position[1], near(position[0], reference));
    }

    // A tooltip that shows the text as it is, never as markup.
    function textTooltip(text) {
        var span = document.createElement('span');
        span.textContent = text;
        return span;
    }

    function degrees(value, positive, negative) {
        return Math.abs(value).toFixed(5) + '\u00b0' + (value < 0 ? negative : positive);
    }

    function metres(value) {
        return Math.round(value) + ' m';
    }

    function age(since) {
        var seconds = Math.max(0, Math.floor((Date.now() - since) / 1000));
        if (seconds < 60)
            return seconds + ' s';
        if (seconds < 3600)
            return Math.floor(seconds / 60) + ' min ' + (seconds % 60) + ' s';
        return Math.floor(seconds / 3600) + ' h ' + Math.floor(seconds % 3600 / 60) + ' min';
    }

    var fixTime = null; // when the newest bearing of the fix shown was drawn; null: no fix

    function describe() {
        if (fixTime !== null)
            byId('fix-age').textContent = 'Age: ' + age(fixTime);
    }

    function drawPeers(fix, used, reference) {
        peers.clearLayers();
        (fix.peers || []).forEach(function (peer) {
            var colour = colourOf(peer.source);
            var at = latLngNear(peer.station, reference);
            if (peer.line) {
                L.polyline(peer.line.map(function (p) { return latLngNear(p, reference); }), {
                    pane: 'peers', color: colour, weight: 3, dashArray: used[peer.source] ? null : '6 6',
                    interactive: false
                }).addTo(peers);
            }
            L.circleMarker(at, {
                pane: 'peers', radius: 6, color: '#1a237e', weight: 2, fillColor: colour, fillOpacity: 1
            }).bindTooltip(textTooltip(peer.source)).addTo(peers);
        });
    }

    function show(fix) {
        var features = fix.features || [];
        var point = null;
        var polygon = null;
        var used = {};
        features.forEach(function (feature) {
            var type = feature.geometry && feature.geometry.type;
            if (type === 'Point')
                point = feature;
            else if (type === 'Polygon')
                polygon = feature;
            else if (type === 'LineString' && feature.properties)
                used[feature.properties.source] = true;
        });
        var own = t.status && t.feature(t.status, 'Point');
        var reference = point ? point.geometry.coordinates[0] : own ? own.geometry.coordinates[0] : 0;
        drawPeers(fix, used, reference);

        var text = byId('fix');
        if (!point) {
            fixTime = null;
            marker.remove();
            ellipse.setLatLngs([]);
            text.textContent = 'No fix: ' + (fix.reason || 'one line');
            byId('fix-size').textContent = '';
            byId('fix-age').textContent = '';
            return;
        }
        var p = point.properties || {};
        var position = point.geometry.coordinates;
        marker.setLatLng(latLngNear(position, reference)).addTo(t.map);
        ellipse.setLatLngs(polygon ? polygon.geometry.coordinates[0].map(function (c) {
            return latLngNear(c, reference);
        }) : []);
        text.textContent = 'Fix: ' + degrees(position[1], 'N', 'S') + ' ' + degrees(near(position[0], 0), 'E', 'W');
        byId('fix-size').textContent = 'Within ' + metres(p.semi_major_m) + ' \u00d7 ' + metres(p.semi_minor_m)
            + ' (95 %), ' + p.stations + ' stations';
        fixTime = p.time ? Date.parse(p.time) : Date.now();
        describe();
    }

    var heard = false; // a fix has come from the station: an answer to the first request is older
    t.on('fix', function (fix) {
        heard = true;
        show(fix);
    });
    fetch('fix.json', { cache: 'no-store' })
        .then(function (response) { return response.json(); })
        .then(function (fix) {
            if (!heard) {
                t.fix = fix;
                show(fix);
            }
        })
        .catch(function () {});
    setInterval(describe, 1000);
}());
