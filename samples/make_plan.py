#!/usr/bin/python3
"""Writes samples/plan.dxf, the small floor plan run.sh opens in cadhost, and
samples/layers.csv, a layer list naming six of its layers.

Run with the system python (python3-ezdxf): /usr/bin/python3 samples/make_plan.py
"""
import os
import ezdxf

HERE = os.path.dirname(os.path.abspath(__file__))

doc = ezdxf.new('R2010', setup=True)  # AC1024: texts and names in UTF-8
msp = doc.modelspace()

# name, colour, linetype, state
LAYERS = [
    ('A-WALL', 7, 'Continuous', ''),
    ('A-DOOR', 1, 'Continuous', ''),
    ('A-WIND', 4, 'Continuous', ''),
    ('A-GRID', 8, 'CENTER', 'locked'),
    ('A-DIMS', 3, 'Continuous', ''),
    ('A-TEXT', 2, 'Continuous', ''),
    ('A-FURN', 6, 'DASHED', 'off'),
    ('A-HATCH', 9, 'Continuous', ''),
    ('E-POWER', 30, 'DASHED', 'frozen'),
    ('S-COLS', 5, 'Continuous', ''),
    ('居間', 140, 'Continuous', ''),
    ('台所', 40, 'Continuous', 'off'),
]
for name, colour, linetype, state in LAYERS:
    layer = doc.layers.add(name, color=colour, linetype=linetype)
    if state == 'off':
        layer.off()
    elif state == 'frozen':
        layer.freeze()
    elif state == 'locked':
        layer.lock()

# A door: leaf and swing, drawn on layer 0 so each reference takes its own layer.
door = doc.blocks.new('DOOR900')
door.add_line((0, 0), (0, 900), dxfattribs={'layer': '0'})
door.add_arc((0, 0), 900, 0, 90, dxfattribs={'layer': '0'})
# A window: frame and glass lines.
window = doc.blocks.new('WIN1800')
for y in (0, 50, 100, 150):
    window.add_line((0, y), (1800, y), dxfattribs={'layer': '0'})

W, H = 9000, 6000
wall = {'layer': 'A-WALL'}
msp.add_lwpolyline([(0, 0), (W, 0), (W, H), (0, H)], close=True, dxfattribs=wall)
msp.add_lwpolyline([(150, 150), (W - 150, 150), (W - 150, H - 150), (150, H - 150)],
                   close=True, dxfattribs=wall)
msp.add_line((5000, 150), (5000, 2600), dxfattribs=wall)
msp.add_line((5000, 3500), (5000, H - 150), dxfattribs=wall)
msp.add_line((150, 3000), (3800, 3000), dxfattribs=wall)

msp.add_blockref('DOOR900', (5000, 2600), dxfattribs={'layer': 'A-DOOR'})
msp.add_blockref('DOOR900', (3800, 3000), dxfattribs={'layer': 'A-DOOR', 'rotation': 90})
msp.add_blockref('WIN1800', (1500, H - 150), dxfattribs={'layer': 'A-WIND'})
msp.add_blockref('WIN1800', (6200, H - 150), dxfattribs={'layer': 'A-WIND'})
msp.add_blockref('WIN1800', (6200, 0), dxfattribs={'layer': 'A-WIND'})

grid = {'layer': 'A-GRID'}
for x in (0, 5000, W):
    msp.add_line((x, -1000), (x, H + 1000), dxfattribs=grid)
    msp.add_circle((x, H + 1300), 300, dxfattribs=grid)
for y in (0, 3000, H):
    msp.add_line((-1000, y), (W + 1000, y), dxfattribs=grid)

for x, y in ((0, 0), (5000, 0), (W, 0), (0, H), (5000, H), (W, H)):
    msp.add_solid([(x - 150, y - 150), (x + 150, y - 150), (x - 150, y + 150), (x + 150, y + 150)],
                  dxfattribs={'layer': 'S-COLS'})

dims = {'layer': 'A-DIMS'}
msp.add_linear_dim(base=(0, -600), p1=(0, 0), p2=(5000, 0), dxfattribs=dims).render()
msp.add_linear_dim(base=(0, -600), p1=(5000, 0), p2=(W, 0), dxfattribs=dims).render()
msp.add_linear_dim(base=(-600, 0), p1=(0, 0), p2=(0, H), angle=90, dxfattribs=dims).render()

text = {'layer': 'A-TEXT', 'height': 250}
msp.add_text('居間', dxfattribs={**text, 'layer': '居間'}).set_placement((2000, 4500))
msp.add_text('台所', dxfattribs={**text, 'layer': '台所'}).set_placement((7000, 4500))
msp.add_text('寝室', dxfattribs=text).set_placement((2000, 1500))
msp.add_text('PLAN 1:100', dxfattribs={**text, 'height': 300}).set_placement((0, -1500))
msp.add_mtext('KORVEL sample\\P平面図', dxfattribs={'layer': 'A-TEXT', 'char_height': 200,
                                                 'insert': (6000, -1200)})

furn = {'layer': 'A-FURN'}
msp.add_lwpolyline([(600, 3600), (2400, 3600), (2400, 4400), (600, 4400)], close=True,
                   dxfattribs=furn)
msp.add_ellipse((7000, 1500), major_axis=(800, 0), ratio=0.6, dxfattribs=furn)
msp.add_spline([(5600, 3800), (6200, 4400), (7400, 3700), (8400, 4300)],
               dxfattribs={'layer': '台所'})

hatch = msp.add_hatch(color=256, dxfattribs={'layer': 'A-HATCH'})
hatch.paths.add_polyline_path([(5150, 3150), (8850, 3150), (8850, 5850), (5150, 5850)])

power = {'layer': 'E-POWER'}
for x in (1000, 4000, 6000, 8000):
    msp.add_circle((x, 300), 100, dxfattribs=power)

# The walls are the layer being drawn on, so its tile carries the current-layer bar.
doc.header['$CLAYER'] = 'A-WALL'
doc.saveas(os.path.join(HERE, 'plan.dxf'))
with open(os.path.join(HERE, 'layers.csv'), 'w', encoding='utf-8', newline='\r\n') as f:
    for name in ('A-WALL', 'A-DOOR', 'A-WIND', 'A-FURN', '居間', '台所'):
        f.write(name + '\n')
