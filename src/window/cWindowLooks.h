#pragma once

#include <QtGlobal>

class IImageWindowFace;

// How an image window shows on the desktop: whole, with a uniform opacity, or cut by a colour key
// (every pixel of the key colour transparent and click-through). Opacity and colour key exclude
// each other. The key is the colour of the picture's pixel one in from its top-left corner; its
// cut follows what the window shows, made again at most once per turn of the event loop however
// often the picture, the size or a control over it changed meanwhile.
class cWindowLooks {
public:
    explicit cWindowLooks(IImageWindowFace& face) : mFace(face) {}

    qint16 mTouming = 100;    // opacity, percent
    bool mFormShape = false;  // the colour-key shape is on

    // The colour key from the picture's pixel at (border + 1, border + 1); full opacity.
    void SetShape(qint32 border);
    // An ordinary opaque window again.
    void ResetShape();
    // The opacity mTouming holds; it ends a colour key.
    void SetOpacity();
    // Ctrl+wheel notches (away from the user: more opaque) step the opacity by tens within
    // 10..100; the tip says where it is.
    void WheelOpacity(int notches);
    // What the window shows changed: the colour key's cut is made again on the next turn of the
    // event loop.
    void ShapeChanged();

private:
    IImageWindowFace& mFace;
    bool mRefreshPending = false;
};
