// Rectangles and points in logical pixels, laid out like their GDI+ counterparts.
#pragma once

struct RectF {
    float X = 0;
    float Y = 0;
    float Width = 0;
    float Height = 0;
};

struct PointF {
    float X = 0;
    float Y = 0;
};

// Edges count as inside, so a click on a control's border still hits it.
inline bool containsPoint(const RectF& r, float x, float y) {
    return x >= r.X && x <= r.X + r.Width && y >= r.Y && y <= r.Y + r.Height;
}
