#ifndef LF_WINDOWS_IMAGE_BITMAPS_H
#define LF_WINDOWS_IMAGE_BITMAPS_H

// Bitmaps: the display renderer (floating-point samples -> screen pixels) and small bitmap and colour helpers.
//
// RenderImageBitmap turns a rectangle of an image into a new bitmap of exactly the size the rectangle takes on the
// screen at a zoom:
// - zoom >= 1: every sample becomes a zoom x zoom square (its pixel value is computed once and replicated);
// - zoom <= -1: every screen pixel shows an n x n block, n = min(-zoom, width, height); columns and rows of the
//   rectangle past the last whole block are not shown. The block sum is accumulated in 32-bit floats, rows outer
//   and columns inner; RGB and single-channel modes turn it into a byte as round(sum * q), q = 255/n^2 held as a
//   float; the luminance and chrominance modes take the average (sum / n^2) into their formulas.
// So averaging and masking act on the stored sample values; the working space's transfer function is applied
// afterwards, once per screen pixel.
//
// Render modes (DisplayRenderMode): -3 RGB composite (channels 0, 1, 2 as red, green, blue, whatever the colour
// space), -2 CIE chrominance (normalised a* as red, b* as green, blue 0), -1 CIE luminance (normalised L* as grey),
// n >= 0 channel n (nominal or alpha) as grey. -1 and -2 go through the given RGB working space.
//
// Mask: the sample that weights image sample (left + x, top + y) is mask sample (maskLeft + x, maskTop + y); a
// negative maskLeft or maskTop means left or top. A Gray mask weights every channel by its channel 0, a colour mask
// weights channel c by its own channel c. Masked values are sample * mask (0 shows black, or the neutral
// chrominance in mode -2).
//
// Bytes are round(value * 255), ties to even, clamped to 0..255; NaN shows as 0. (Samples outside [0, 1] exist:
// processes may leave them, and wrapping the low 8 bits would show 1.2 as a dark 50.)
//
// The output is QImage::Format_RGB32 (0xffRRGGBB words, in memory the bytes blue, green, red, 255): the raster
// paint engine blits that format onto the window's backing store without a conversion pass (a 2000 x 1500 bitmap
// paints in about 0.6 ms, against 0.9 ms for RGB888 and 2.3 ms for BGR888), and the renderer stores one aligned
// 32-bit word per pixel instead of three bytes.
//
// The renderer is a pure function of its arguments: no state between calls, the image and mask are only read. Rows
// run in parallel (qor::ParallelFor) and every pixel depends only on its own samples, so the output is identical
// for any thread count. Arguments outside the stated ranges (zoom 0, a rectangle not inside the image, a mode
// naming a channel the image lacks, a mask that does not cover the rectangle at its origin or lacks a weighting
// channel) throw qor::GenericException instead of reading outside the planes.

#include <QColor>
#include <QImage>

#include <cstdint>

#include "classlib/Image.h"
#include "classlib/RGBColorSystem.h"

// The render mode argument: a channel number n >= 0, or one of the three below.
using DisplayRenderMode = int32_t;
constexpr DisplayRenderMode RenderModeRGB = -3;
constexpr DisplayRenderMode RenderModeChrominance = -2;
constexpr DisplayRenderMode RenderModeLuminance = -1;

// Size in screen pixels of a width x height rectangle rendered at a zoom (zoom 0 counts as 1).
void RenderedBitmapSize( int32_t width, int32_t height, int32_t zoom, int32_t& bitmapWidth, int32_t& bitmapHeight );

// The renderer's kernel, free of toolkit types: writes the pixels of RenderImageBitmap as 0xffRRGGBB words into
// `pixels`, row r starting at pixels + r * stride (stride in words, at least the bitmap width of
// RenderedBitmapSize).
void RenderImagePixels( const qor::Image& image, const qor::RGBColorSystem& rgbws, int32_t left, int32_t top,
                        int32_t width, int32_t height, int32_t zoom, DisplayRenderMode renderMode,
                        const qor::Image* mask, int32_t maskLeft, int32_t maskTop, uint32_t* pixels, int64_t stride );

// A new Format_RGB32 bitmap of the rectangle (see above). Pass mask = nullptr (and -1, -1) for no mask.
QImage RenderImageBitmap( const qor::Image& image, const qor::RGBColorSystem& rgbws, int32_t left, int32_t top,
                          int32_t width, int32_t height, int32_t zoom, DisplayRenderMode renderMode,
                          const qor::Image* mask, int32_t maskLeft, int32_t maskTop );

// The same into `bitmap`, which keeps its memory when it already has the size and format and is not shared: a
// window repainting at the same size takes no new memory (a new bitmap of a viewport is megabytes of pages, each
// cleared by the system at its first touch).
void RenderImageBitmap( QImage& bitmap, const qor::Image& image, const qor::RGBColorSystem& rgbws, int32_t left,
                        int32_t top, int32_t width, int32_t height, int32_t zoom, DisplayRenderMode renderMode,
                        const qor::Image* mask, int32_t maskLeft, int32_t maskTop );

// Replaces the image's pixels by those of a bitmap: a grey bitmap (8-bit with a grey palette or none, Grayscale8,
// 1-bit with a grey palette, Grayscale16) gives one Gray channel, any other format is converted to 24-bit RGB and
// gives three RGB channels; samples are byte/255 (palette entries are applied, 16-bit grey is value/65535).
// Monitored: "Loading bitmap", one unit per row. A null bitmap or one without colour (Alpha8) throws
// qor::GenericException; an abort throws qor::Image::AbortProcessEvent. Either leaves the image as it was.
void LoadImageFromBitmap( qor::Image& image, const QImage& bitmap );

// A colour as the preferences keep it, 0x00BBGGRR (red in the lowest byte), as an opaque QColor.
QColor PreferenceColor( uint32_t color );

// The 8 x 8 check pattern of the background brushes: squares of 2 x 2 pixels, the first colour at the top left.
// Colours are 0x00BBGGRR values (see PreferenceColor). Format_RGB32.
QImage CreateBackgroundBrushBitmap( uint32_t firstColor, uint32_t secondColor );

#endif
