"""Small boards for the export-run tests, in the host editor's board format."""


def board(objects, stack=("TopLayer", "BottomLayer"), visible="all"):
    return {
        "format": "korvex-board",
        "version": 1,
        "units": "mil",
        "board": {"title": "test", "stack": list(stack), "visibleLayers": visible},
        "objects": objects,
    }


EMPTY = board([])

# Two fills, the first with its left and bottom edges exactly on 0.
EXTENTS_AT_ZERO = board([
    {"kind": "fill", "layer": "TopLayer", "corner1": [0, 0], "corner2": [100, 100]},
    {"kind": "fill", "layer": "TopLayer", "corner1": [500, 500], "corner2": [600, 600]},
])

HOLES = [
    {"kind": "pad", "x": 500, "y": 500, "hole": 30, "shape": "round", "size": 60},
    {"kind": "via", "x": 800, "y": 500, "size": 40, "hole": 20},
]
HOLES_HIDDEN = board(HOLES, visible=["TopLayer", "BottomLayer", "MultiLayer"])
HOLES_SHOWN = board(HOLES, visible=["TopLayer", "BottomLayer", "MultiLayer", "PadHoleLayer",
                                    "ViaHoleLayer"])
