// A picture box: an owner-drawn STATIC control that keeps an off-screen image of its client
// area. Drawing changes only the image; a redraw (or any repaint the window needs) copies the
// image to the screen at the control's top-left corner.
#ifndef GUISLA_UI_PICTURE_BOX_H
#define GUISLA_UI_PICTURE_BOX_H

#include <windows.h>

// Fills the whole image with a colour (the image is made, at the control's client size, on
// first use). Does nothing for a window that is not a picture box candidate (nullptr).
void PictureBoxClear(HWND box, COLORREF colour);

// Copies a bitmap onto the image with its top-left corner at the image's, pixel for pixel
// (SRCCOPY), clipped to the smaller of the two sizes. The bitmap stays the caller's.
void PictureBoxCopyBitmap(HWND box, HBITMAP bitmap);

// Repaints the control on screen from its image, at once.
void PictureBoxRedraw(HWND box);

// Reads one pixel of the image (for checks); CLR_INVALID when the box has no image.
COLORREF PictureBoxPixel(HWND box, int x, int y);

// Answers WM_DRAWITEM for a picture box: copies the image. Returns false when the item is not
// a picture box. Called by the shared dialog procedure.
bool PictureBoxPaint(const DRAWITEMSTRUCT &item);

#endif
