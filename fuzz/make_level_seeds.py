#!/usr/bin/env python3
"""Writes the seed corpora of the level and TMX fuzz targets into fuzz/corpus/level and fuzz/corpus/tmx.

The fuzz targets run in a directory holding "tiles.png" (4 x 4 tiles of 16 x 16) and "spaced.png"
(69 x 69: the same grid with a margin and spacing of 1); their engine has three layers, layer 0 taken,
and a tileset of its own at global IDs 900..903. Level inputs of odd length ask for the level "b".
"""
import base64
import gzip
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def save(corpus, name, text):
    path = os.path.join(HERE, "corpus", corpus)
    os.makedirs(path, exist_ok=True)
    data = text.encode() if isinstance(text, str) else text
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def csv(values, width):
    return ", ".join(",".join(str(v) for v in values[i:i + width]) for i in range(0, len(values), width)) + " "


def level_layer(layer_id, cells, width=4, height=4, status=41, kind="base", extra=""):
    return ('<layer id="%d" name="l%d" status="%d" parallax_ratio="0.5" position_x="3.5" position_y="0" '
            'speed_x="1" speed_y="0" gridcolor="-1" alphavalue="200"%s><mapdata type="%s" width="%d" height="%d" '
            'cellwidth="16" cellheight="16">%s</mapdata></layer>' % (layer_id, layer_id, status, extra, kind, width,
                                                                   height, cells))


TILESET = '<tileset gid="1" name="tiles" source="tiles.png" tilewidth="16" tileheight="16" colorkey="-1" alphavalue="255"/>'


def level(name, body, attributes=""):
    return '<qbse_level version="1.10" name="%s" viewport_x="0" viewport_width="64" %s>%s</qbse_level>' % (
        name, attributes, body)


cells = [(i % 16) + 1 for i in range(16)]
save("level", "valid", level("a", TILESET + level_layer(1, csv(cells, 4)) + level_layer(2, csv([901] * 16, 4))))
two_levels = level("a", TILESET) + level("b", TILESET + level_layer(1, csv(cells, 4)))
save("level", "two_levels_b_odd", two_levels + (" " if len(two_levels) % 2 == 0 else ""))
save("level", "missing_tileset", level("a", '<tileset gid="1" name="x" source="absent.png" tilewidth="16" '
                                            'tileheight="16"/>' + level_layer(1, csv(cells, 4))))
save("level", "dpf_tileset", level("a", '<tileset gid="50" name="x" source="pack.dpf"/>' + level_layer(1, "50")))
save("level", "bad_numbers", level("a", '<tileset gid="-4" name="x" source="tiles.png" tilewidth="0"/>' +
                                   level_layer(9, "1") + level_layer(-1, "1") + level_layer(0, "1") +
                                   level_layer(1, csv(cells, 4), extra=' position_y="nan"'),
                                   'viewport_height="99999" viewport_y="-70000"'))
save("level", "huge_map", level("a", TILESET + level_layer(1, "1,2,3", width=65535, height=256)))
save("level", "custom_and_missing", level("a", TILESET + level_layer(1, "1", kind="hexagon") +
                                          '<layer id="2" name="n" status="1" parallax_ratio="1" position_x="0" '
                                          'position_y="0" speed_x="0" speed_y="0"/>'))
save("level", "nameless", '<qbse_level><layer id="1"/></qbse_level>')
save("level", "not_a_level", "<map/>")
save("level", "broken", "<qbse_level name='a'><layer")


def tmx(body, attributes='version="1.0" orientation="orthogonal" width="4" height="4" tilewidth="16" tileheight="16"'):
    return '<?xml version="1.0"?><map %s>%s</map>' % (attributes, body)


def tmx_layer(name, data, properties=""):
    return '<layer name="%s" width="4" height="4" opacity="0.5">%s%s</layer>' % (name, properties, data)


raw = b"".join(struct.pack("<I", v | (0x80000000 if v % 3 == 0 else 0)) for v in cells)
TMX_TILES = ('<tileset firstgid="1" name="tiles"><properties><property name="alphavalue" value="120"/></properties>'
             '<image source="tiles.png" trans="#0f0d0b"/></tileset>')
SPACED = '<tileset firstgid="20" name="spaced" spacing="1" margin="1"><image source="spaced.png" trans="ff00ff"/></tileset>'
PROPS = ('<properties><property name="id" value="2"/><property name="status" value="105"/>'
         '<property name="position_x" value="12.5"/><property name="parallax_ratio" value="0.25"/></properties>')
save("tmx", "valid", tmx('<properties><property name="name" value="fuzz"/><property name="viewport_width" value="32"/>'
                         '</properties>' + TMX_TILES + SPACED +
                         tmx_layer("csv", '<data encoding="csv">%s</data>' % csv(cells, 4), PROPS) +
                         tmx_layer("zlib", '<data encoding="base64" compression="zlib">%s</data>'
                                   % base64.b64encode(zlib.compress(raw)).decode())))
save("tmx", "gzip_raw", tmx(TMX_TILES + tmx_layer("gzip", '<data encoding="base64" compression="gzip">%s</data>'
                                                   % base64.b64encode(gzip.compress(raw, mtime=0)).decode()) +
                            tmx_layer("raw", '<data encoding="base64">%s</data>' % base64.b64encode(raw).decode())))
save("tmx", "zstd_external", tmx('<tileset firstgid="1" source="outside.tsx"/>' +
                                 tmx_layer("z", '<data encoding="base64" compression="zstd">KLUv/SAEIQAAAQ==</data>')))
save("tmx", "isometric", tmx("", 'version="1.0" orientation="isometric" width="4" height="4" tilewidth="16" '
                                 'tileheight="16"'))
save("tmx", "version_1_2", tmx("", 'version="1.2" orientation="orthogonal" width="4" height="4" tilewidth="16" '
                                   'tileheight="16"'))
save("tmx", "huge_short_data", tmx(tmx_layer("big", '<data encoding="csv">1,2</data>') * 4,
                                   'version="1.0" orientation="orthogonal" width="4096" height="4096" tilewidth="16" '
                                   'tileheight="16"'))
save("tmx", "odd_values", tmx('<tileset firstgid="536870910" name="far"><image source="tiles.png"/></tileset>'
                              '<tileset firstgid="1" name="zero" tilewidth="0" spacing="-1"><image source="tiles.png"/>'
                              '</tileset>' + tmx_layer("id", '<data encoding="csv">%s</data>' % csv(cells, 4),
                                                       '<properties><property name="id" value="99"/>'
                                                       '<property name="speed_x" value="inf"/></properties>') +
                              tmx_layer("xml", '<data><tile gid="1"/></data>')))
save("tmx", "not_a_map", "<qbse_level/>")
