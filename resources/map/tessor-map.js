// Tessor's map script: the version-2 map objects that the POI map page uses
// (GMap2, GLatLng, GMarker, GPolygon, GIcon, GEvent, ...), drawn with Leaflet
// from the system's libjs-leaflet and OpenStreetMap tiles. The page's query
// (file, v, key) is accepted and ignored.
(function () {
  var leaflet = 'file:///usr/share/javascript/leaflet/';
  // Written while the page is parsed, so Leaflet is there before the page's load().
  document.write('<link rel="stylesheet" href="' + leaflet + 'leaflet.css">');
  document.write('<script src="' + leaflet + 'leaflet.js"></scr' + 'ipt>');
})();

var TESSOR_TILES = 'https://tile.openstreetmap.org/{z}/{x}/{y}.png';

// Tells the window that shows the page whether the map can be drawn: "failed"
// when the map library is missing or no tile loads, "drawn" once a tile has.
function TessorMapState(state) {
  if (TessorMapState.last === state) return;
  TessorMapState.last = state;
  console.info('tessor-map-state:' + state);
}

function GBrowserIsCompatible() {
  var present = typeof L !== 'undefined' && typeof L.map === 'function';
  if (!present) TessorMapState('failed');
  return present;
}

function GLatLng(lat, lng) {
  this._lat = Number(lat);
  this._lng = Number(lng);
}
GLatLng.prototype.lat = function () { return this._lat; };
GLatLng.prototype.lng = function () { return this._lng; };
GLatLng.prototype.toString = function () { return '(' + this._lat + ', ' + this._lng + ')'; };
GLatLng.prototype._leaflet = function () { return L.latLng(this._lat, this._lng); };
GLatLng._from = function (latlng) { return new GLatLng(latlng.lat, latlng.lng); };

function GLatLngBounds(southWest, northEast, center) {
  this._sw = southWest;
  this._ne = northEast;
  this._center = center;
}
GLatLngBounds.prototype.getSouthWest = function () { return this._sw; };
GLatLngBounds.prototype.getNorthEast = function () { return this._ne; };
// The centre of the visible map, so a marker put there sits on the map's centre;
// the middle of the corners for bounds made from points.
GLatLngBounds.prototype.getCenter = function () {
  if (this._center) return this._center;
  return new GLatLng((this._sw.lat() + this._ne.lat()) / 2, (this._sw.lng() + this._ne.lng()) / 2);
};
GLatLngBounds.prototype.extend = function (latlng) {
  this._sw = new GLatLng(Math.min(this._sw.lat(), latlng.lat()), Math.min(this._sw.lng(), latlng.lng()));
  this._ne = new GLatLng(Math.max(this._ne.lat(), latlng.lat()), Math.max(this._ne.lng(), latlng.lng()));
  this._center = undefined;
};
GLatLngBounds.prototype._leaflet = function () {
  return L.latLngBounds(this._sw._leaflet(), this._ne._leaflet());
};

function GSize(width, height) {
  this.width = width;
  this.height = height;
}

function GPoint(x, y) {
  this.x = x;
  this.y = y;
}

function GIcon(copy) {
  if (!copy) return;
  this.image = copy.image;
  this.printImage = copy.printImage;
  this.transparent = copy.transparent;
  this.iconSize = copy.iconSize;
  this.iconAnchor = copy.iconAnchor;
  this.infoWindowAnchor = copy.infoWindowAnchor;
}
GIcon.prototype._leaflet = function () {
  var size = this.iconSize || new GSize(20, 34);
  var anchor = this.iconAnchor || new GPoint(9, 34);
  var info = this.infoWindowAnchor || new GPoint(9, 2);
  return L.icon({
    iconUrl: this.image,
    iconSize: [size.width, size.height],
    iconAnchor: [anchor.x, anchor.y],
    popupAnchor: [info.x - anchor.x, info.y - anchor.y]
  });
};

function GSmallMapControl() {}
GSmallMapControl.prototype._addTo = function (map) { L.control.zoom().addTo(map._map); };

function GMapTypeControl() {}
GMapTypeControl.prototype._addTo = function (map) {
  L.control.layers({ 'Map': map._tiles }, {}, { collapsed: true }).addTo(map._map);
};

function GMap2(container) {
  if (!container) throw new Error('no map container');
  this._map = L.map(container, { zoomControl: false, fadeAnimation: false, zoomAnimation: false });
  this._tiles = L.tileLayer(TESSOR_TILES, {
    maxZoom: 19,
    attribution: '&copy; OpenStreetMap contributors'
  });
  // One tile that loads shows the map works; errors before that mean no map.
  var drawn = false;
  this._tiles.on('tileload', function () {
    drawn = true;
    TessorMapState('drawn');
  });
  this._tiles.on('tileerror', function () {
    if (!drawn) TessorMapState('failed');
  });
  this._tiles.addTo(this._map);
  GMap2._all.push(this);
}
GMap2._all = [];
GMap2.prototype.addControl = function (control) { control._addTo(this); };
GMap2.prototype.setCenter = function (latlng, zoom) {
  var z = (zoom === undefined) ? this._map.getZoom() : zoom;
  this._map.setView(latlng._leaflet(), z, { animate: false });
};
GMap2.prototype.getCenter = function () { return GLatLng._from(this._map.getCenter()); };
GMap2.prototype.getZoom = function () { return this._map.getZoom(); };
GMap2.prototype.getBounds = function () {
  var b = this._map.getBounds();
  return new GLatLngBounds(GLatLng._from(b.getSouthWest()), GLatLng._from(b.getNorthEast()),
                           this.getCenter());
};
// The closest zoom that shows the whole of the bounds, at most street level.
GMap2.prototype.getBoundsZoomLevel = function (bounds) {
  return Math.min(this._map.getBoundsZoom(bounds._leaflet()), 17);
};
GMap2.prototype.addOverlay = function (overlay) { overlay._addTo(this); };
GMap2.prototype.removeOverlay = function (overlay) { overlay._layer.remove(); };
GMap2.prototype.closeInfoWindow = function () { this._map.closePopup(); };
GMap2.prototype.fromContainerPixelToLatLng = function (point) {
  return GLatLng._from(this._map.containerPointToLatLng([point.x, point.y]));
};
GMap2.prototype.fromLatLngToContainerPixel = function (latlng) {
  var p = this._map.latLngToContainerPoint(latlng._leaflet());
  return new GPoint(p.x, p.y);
};

function GPolygon(points, strokeColor, strokeWeight, strokeOpacity, fillColor, fillOpacity) {
  this._layer = L.polygon(points.map(function (p) { return p._leaflet(); }), {
    color: strokeColor,
    weight: strokeWeight,
    opacity: strokeOpacity,
    fillColor: fillColor,
    fillOpacity: fillOpacity
  });
}
GPolygon.prototype._addTo = function (map) { this._layer.addTo(map._map); };

function GPolyline(points, color, weight, opacity) {
  this._layer = L.polyline(points.map(function (p) { return p._leaflet(); }), {
    color: color,
    weight: weight,
    opacity: opacity
  });
}
GPolyline.prototype._addTo = function (map) { this._layer.addTo(map._map); };
GPolyline.prototype.getVertexCount = function () { return this._layer.getLatLngs().length; };
GPolyline.prototype.getVertex = function (i) { return GLatLng._from(this._layer.getLatLngs()[i]); };

function GMarker(point, options) {
  var opts = options || {};
  var settings = { draggable: !!opts.draggable };
  if (opts.title) settings.title = opts.title;
  if (opts.icon) settings.icon = opts.icon._leaflet();
  this._layer = L.marker(point._leaflet(), settings);
}
GMarker.prototype._addTo = function (map) { this._layer.addTo(map._map); };
GMarker.prototype.getLatLng = function () { return GLatLng._from(this._layer.getLatLng()); };
GMarker.prototype.setLatLng = function (latlng) { this._layer.setLatLng(latlng._leaflet()); };
GMarker.prototype.openInfoWindowHtml = function (html) {
  // The map stays where the page put it; the hint opens above the marker.
  if (this._layer.getPopup()) {
    this._layer.setPopupContent(html);
  } else {
    this._layer.bindPopup(html, { autoPan: false });
  }
  this._layer.openPopup();
};

var GEvent = {
  addListener: function (source, name, handler) {
    var wrapped = function () { handler.apply(source, arguments); };
    source._layer.on(name, wrapped);
    return { source: source, name: name, wrapped: wrapped };
  },
  removeListener: function (listener) {
    listener.source._layer.off(listener.name, listener.wrapped);
  }
};

function GUnload() {
  while (GMap2._all.length) GMap2._all.pop()._map.remove();
}
