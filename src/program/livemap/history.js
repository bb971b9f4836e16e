// The hunt over time: the station's DF bearings of the last minutes as thin lines from the station to
// each line's end, fading with age, and a bearing rose (how many bearings fell in each 10-degree
// sector) in a corner, so that a steady direction shows through a wobble. The station's own history
// is read once at load (a page opened late sees the whole hunt); every DF bearing the stream brings
// after it is added.
(function () {
    'use strict';

    var t = window.tarnvale;
    if (!t)
        return;

    var MAX_BEARINGS = 300; // as many as the station keeps
    var SECTORS = 36;
    var FAINTEST = 0.1;
    var COLOUR = '#b71c1c';

    var minutes = 30;
    var kept = [];   // { at: ms, key, bearing, end: [lon, lat], line }, oldest first
    var keys = {};
    var station = null; // [lon, lat] of the station as last shown

    // Below everything else drawn on the map.
    var pane = t.map.createPane('history');
    pane.style.zIndex = 380;
    var lines = L.layerGroup().addTo(t.map);

    // Bearings are told apart by their second and value: the status carries whole seconds, the
    // history milliseconds.
    function entry(time, bearing, end) {
        var at = Date.parse(time);
        return { at: at, key: Math.floor(at / 1000) + '/' + bearing, bearing: bearing, end: end, line: null };
    }

    function linePoints(end) {
        // The end moved by whole turns to the station's side of the 180th meridian.
        var longitude = end[0] + 360 * Math.round((station[0] - end[0]) / 360);
        return [[station[1], station[0]], [end[1], longitude]];
    }

    function add(item) {
        if (isNaN(item.at) || keys[item.key])
            return;
        keys[item.key] = true;
        var at = kept.length;
        while (at > 0 && kept[at - 1].at > item.at)
            --at;
        kept.splice(at, 0, item);
    }

    function drop(item) {
        delete keys[item.key];
        if (item.line)
            lines.removeLayer(item.line);
    }

    // Each second: what has grown too old goes, the rest fades with its age, the rose is counted again.
    function refresh() {
        var now = Date.now();
        var span = minutes * 60000;
        while (kept.length && (kept.length > MAX_BEARINGS || now - kept[0].at > span))
            drop(kept.shift());
        var counts = [];
        for (var s = 0; s < SECTORS; ++s)
            counts.push(0);
        kept.forEach(function (item) {
            counts[Math.floor((((item.bearing % 360) + 360) % 360) / (360 / SECTORS))] += 1;
            if (!station)
                return;
            var opacity = Math.max(FAINTEST, 1 - (1 - FAINTEST) * Math.max(0, now - item.at) / span);
            if (!item.line) {
                item.line = L.polyline(linePoints(item.end), {
                    pane: 'history', color: COLOUR, weight: 1.5, interactive: false
                }).addTo(lines);
            }
            item.line.setStyle({ opacity: opacity });
        });
        drawRose(counts);
    }

    // The rose: a wedge per sector, its length in proportion to the busiest sector's count.
    var Rose = L.Control.extend({
        options: { position: 'bottomleft' },
        onAdd: function () { return L.DomUtil.create('div', 'rose'); }
    });
    var rose = new Rose().addTo(t.map).getContainer();
    function drawRose(counts) {
        var size = 120, c = size / 2, radius = c - 14;
        var most = Math.max.apply(null, counts);
        var point = function (r, degrees) {
            var a = degrees * Math.PI / 180;
            return (c + r * Math.sin(a)).toFixed(1) + ',' + (c - r * Math.cos(a)).toFixed(1);
        };
        var svg = '<svg xmlns="http://www.w3.org/2000/svg" width="' + size + '" height="' + size + '">'
            + '<circle cx="' + c + '" cy="' + c + '" r="' + radius + '" class="rose-ring"/>'
            + '<circle cx="' + c + '" cy="' + c + '" r="' + radius / 2 + '" class="rose-ring"/>'
            + '<text x="' + c + '" y="10" class="rose-north">N</text>';
        counts.forEach(function (count, sector) {
            if (!count)
                return;
            var r = radius * count / most;
            var from = sector * 360 / SECTORS, to = from + 360 / SECTORS;
            svg += '<path class="rose-sector" d="M' + c + ',' + c + ' L' + point(r, from) + ' A' + r.toFixed(1) + ','
                + r.toFixed(1) + ' 0 0 1 ' + point(r, to) + ' Z"><title>' + from + '\u2013' + to + '\u00b0: '
                + count + '</title></path>';
        });
        rose.innerHTML = svg + '</svg>';
        rose.title = 'Bearings in each 10\u00b0 sector, last ' + minutes + ' min: ' + kept.length;
    }

    t.on('status', function (status) {
        var point = t.feature(status, 'Point');
        var line = t.feature(status, 'LineString');
        if (!point || !line)
            return;
        var moved = !station || station.join(',') !== point.geometry.coordinates.join(',');
        station = point.geometry.coordinates;
        if (moved) {
            kept.forEach(function (item) {
                if (item.line)
                    item.line.setLatLngs(linePoints(item.end));
            });
        }
        var p = line.properties;
        if (p.df === 'detected' && p.bearing !== null && p.time)
            add(entry(p.time, p.bearing, line.geometry.coordinates[1]));
        refresh();
    });

    fetch('history.json', { cache: 'no-store' })
        .then(function (response) { return response.json(); })
        .then(function (history) {
            minutes = history.minutes || minutes;
            (history.bearings || []).forEach(function (bearing) {
                add(entry(bearing.time, bearing.bearing, bearing.end));
            });
            refresh();
        })
        .catch(function () {});
    t.history = { bearings: function () { return kept; } };
    refresh();
    setInterval(refresh, 1000);
}());
