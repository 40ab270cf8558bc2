#ifndef QOR_IMAGE_H
#define QOR_IMAGE_H

// qor::Image: the one image type of the program.
//
// Layout contract
// - Samples are 32-bit floats, nominally in [0, 1] (processes may leave values outside; readers of samples must
//   clamp where it matters, and NaN may occur).
// - One separate, contiguous plane per channel: the nominal (colour) channels first, then the alpha channels.
//   Plane c holds Width() * Height() samples, rows one after another without padding: the sample at column x of
//   row y is plane[c][int64_t(y) * Width() + x]. Planes start on 64-byte boundaries.
// - Width and height are int32; every sample index and plane size is computed in 64 bits (NumberOfPixels()).
// - An image has planes exactly when width, height and channel count are all positive. Emptying an image keeps
//   its colour space.
// - ScanLine()/Row() give the cheap row access of hot loops; PixelData() the whole plane.
// - The embedded StatusCallback is the progress monitor of every long operation on the image (see
//   StatusCallback.h); it is never copied with the pixels.
//
// Operations that change the size of an image build their new planes aside and swap them in at the end, so an
// abort or an exhausted memory leaves the image exactly as it was.

#include "ColorSpace.h"
#include "Exception.h"
#include "StatusCallback.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qor
{

class RGBColorSystem; // added for SetColorSpace

class Image
{
public:
   using sample = float;

   // Exceptions of images: class text "Image"; they carry the image concerned (not owned).
   class Exception : public ImageException
   {
   public:
      explicit Exception( const Image* image ) : image( image ) {}
      const Image* SourceImage() const { return image; }

   private:
      const Image* image;
   };

   // Thrown by a monitored operation after the user asked to abort it.
   class AbortProcessEvent : public Exception
   {
   public:
      using Exception::Exception;
      std::string ErrorText() const override { return "Process aborted"; }
   };

   // Thrown by the swap-file readers on a file that is not a valid swap file.
   class InvalidSwapFile : public Exception
   {
   public:
      using Exception::Exception;
      std::string ErrorText() const override { return "Invalid swap file"; }
   };

   // Added for SetColorSpace: thrown for a colour-space code that is not one of the six, or a colour image whose
   // nominal channels are not three.
   class InvalidColorSpace : public Exception
   {
   public:
      using Exception::Exception;
      std::string ErrorText() const override { return "Invalid color space"; }
   };

   // A sample plane: 64-byte aligned, uninitialised on allocation.
   struct PlaneDeleter
   {
      size_t bytes = 0; // size of the plane, so that a freed big plane can be kept for the next allocation
      void operator()( float* p ) const;
   };
   using Plane = std::unique_ptr<float[], PlaneDeleter>;

   // Allocates a plane of n samples (throws std::bad_alloc).
   static Plane NewPlane( int64_t n );

   Image() = default;
   Image( int32_t width, int32_t height, int32_t channels = 1, int32_t colorSpace = ColorSpace::Gray );
   Image( const Image& source );            // copies the pixels, not the monitor
   Image& operator=( const Image& source ); // Assign
   Image( Image&& source ) noexcept;        // takes the pixels, not the monitor
   Image& operator=( Image&& source ) noexcept;
   virtual ~Image();

   // Gives the image the requested geometry. Planes are kept when width, height and channel total are unchanged
   // (then samples are kept too); otherwise the old planes are freed first and new, uninitialised planes take
   // their place, so an exhausted memory leaves the image empty. A non-positive size or channel total empties the
   // image and leaves the colour space as it was.
   void Allocate( int32_t width, int32_t height, int32_t channels, int32_t colorSpace );

   // Deletes every plane; the colour space stays.
   void FreeData();

   // Copy of the source's pixels (not its monitor). An empty source empties this image.
   void Assign( const Image& source );

   // Copy of a rectangle of the source, clamped to the source (at least 1x1 when the source is not empty).
   void AssignRect( const Image& source, int32_t x, int32_t y, int32_t width, int32_t height );

   // New grey image holding a copy of one channel. Throws GenericException for a channel that does not exist (so
   // for any channel of an empty image).
   std::unique_ptr<Image> CreateChannelImage( int32_t c ) const;

   // Removes the alpha planes.
   void DeleteAlphaChannels();

   // Smallest and largest sample of a channel; NaN samples are passed over unless all are NaN. Throws
   // GenericException for a channel that does not exist (so for any channel of an empty image).
   void GetChannelRange( int32_t c, float& minimum, float& maximum ) const;

   // Identifier of a channel: "R", "L*", "alpha01"...; empty for an unknown colour space below channel 3.
   static std::string ChannelId( int32_t colorSpace, int32_t c );

   // Geometry without interpolation (ImageGeometry.cpp). Each operation works on every channel unless stated
   // otherwise, reports progress through the monitor and ends with AbortProcessEvent on an abort. Operations that
   // change the size or the shape of the image build the new planes aside and swap them in at the end, so an abort
   // or an exhausted memory leaves the image as it was. Nothing happens to an empty image.

   // Places the image on a canvas of width x height so that its top-left sample lands at column x, row y (negative
   // anchors cut it on the left or top). Canvas samples not covered take the fill value of their channel: one
   // value per nominal channel, 0 for alpha channels and for all channels when no values are given. A size below 1
   // empties the image. Throws GenericException when fewer values than nominal channels are given.
   void ResizeCanvas( int32_t width, int32_t height, int32_t x, int32_t y, std::span<const float> fill = {} );

   // Reduces by an integer factor n >= 1: each result sample is the mean of an n x n block (rows and columns past
   // the last whole block are dropped; a factor larger than a side gives that side 1 and averages the samples
   // there are). Throws GenericException for n < 1.
   void Subsample( int32_t n );

   // Enlarges by an integer factor n >= 1, every sample repeated as an n x n block. Throws GenericException for
   // n < 1 or a result side above 2^31 - 1.
   void Oversample( int32_t n );

   // Exact rearrangements of the samples. The 90-degree turns exchange width and height; the clockwise turn puts
   // the top row into the rightmost column, read from top to bottom.
   void Rotate180();
   void Rotate90CW();
   void Rotate90CCW();
   void MirrorHorizontal(); // every row reversed
   void MirrorVertical();   // the rows in reverse order

   // Sets every sample of channel c (nominal or alpha) to the value. Throws GenericException for a channel that
   // does not exist.
   void Fill( int32_t c, float value );

   // Every sample x of each channel k whose bit (k mod 32) is set becomes 1 - x (not clamped).
   void Invert( uint32_t channelMask );

   // Replaces the planes, size and channel split at once (used by operations that build their result aside).
   // `planes` must hold `nominal + alpha` planes of width * height samples, or be empty with a zero size.
   void SwapIn( std::vector<Plane>&& planes, int32_t width, int32_t height, int32_t nominal, int32_t alpha,
                int32_t colorSpace );

   // Puts `plane` (Width() * Height() samples) in place of the samples of channel c and returns the plane it
   // replaces (used by operations that build a channel aside). Throws GenericException for a channel that does
   // not exist or an empty plane.
   Plane ExchangePlane( int32_t c, Plane plane );

   // Takes the pixel data of another image (planes, size, channel split, colour space), leaving it empty. Taking
   // its own data leaves an image as it is.
   void Transfer( Image& source ) noexcept;

   // Changes only the colour-space code and the split between nominal and alpha channels, not the samples.
   void SetColorSpaceCode( int32_t colorSpace );

   // Added (ImageColorSpace.cpp): converts the pixels to another colour space through an RGB working space.
   // Alpha channels keep their samples and follow the nominal ones. Monitored: "In-place grayscale conversion"
   // or "In-place color model conversion", width * height units. An abort or an exhausted memory in a conversion
   // that changes the channel count (to or from Gray) leaves the image as it was; an abort of a conversion
   // between two colour spaces leaves the rows already converted, with the old colour-space code (the caller
   // restores the image from its undo data). An empty image only takes the new code.
   void SetColorSpace( int32_t colorSpace, const RGBColorSystem& rgbws );

   bool IsEmpty() const { return planes.empty(); }
   bool IsColor() const { return colorSpace != ColorSpace::Gray; }
   int32_t Width() const { return width; }
   int32_t Height() const { return height; }
   int64_t NumberOfPixels() const { return int64_t( width ) * int64_t( height ); }
   int32_t NumberOfChannels() const { return nominal + alpha; }
   int32_t NumberOfNominalChannels() const { return nominal; }
   int32_t NumberOfAlphaChannels() const { return alpha; }
   int32_t GetColorSpace() const { return colorSpace; }

   float* PixelData( int32_t c ) { return planes[size_t( c )].get(); }
   const float* PixelData( int32_t c ) const { return planes[size_t( c )].get(); }
   float* operator[]( int32_t c ) { return PixelData( c ); }
   const float* operator[]( int32_t c ) const { return PixelData( c ); }

   float* ScanLine( int32_t c, int32_t y ) { return PixelData( c ) + int64_t( y ) * width; }
   const float* ScanLine( int32_t c, int32_t y ) const { return PixelData( c ) + int64_t( y ) * width; }
   std::span<float> Row( int32_t c, int32_t y ) { return { ScanLine( c, y ), size_t( width ) }; }
   std::span<const float> Row( int32_t c, int32_t y ) const { return { ScanLine( c, y ), size_t( width ) }; }

   float& Pixel( int32_t x, int32_t y, int32_t c = 0 ) { return ScanLine( c, y )[x]; }
   float Pixel( int32_t x, int32_t y, int32_t c = 0 ) const { return ScanLine( c, y )[x]; }

   // The progress monitor. It belongs to whoever runs an operation on the image, not to the pixels, so it can
   // be reached through a const image too.
   StatusCallback& Status() const { return status; }
   bool IsMonitored() const { return status.IsMonitored(); }

   // Starts a task on the monitor when the image is monitored.
   void BeginTask( const std::string& text, int64_t total ) const;

   // Throws AbortProcessEvent when the last monitor answer asked for an abort.
   void ThrowIfAborted() const;

   // Runs body(y0, y1) over row strips of [0, rows) on the worker threads, advancing the monitor by unitsPerRow
   // per row; throws AbortProcessEvent when the user aborts (rows already done stay done).
   void ParallelRows( int64_t rows, const std::function<void( int64_t, int64_t )>& body,
                      int64_t unitsPerRow = 1 ) const;

   // Resamples every channel (nominal and alpha) to width x height with an interpolation of Interpolation.h (the
   // block size is used by the bicubic spline only). Output sample (i, j) is the kernel's value at source position
   // (i * w/width, j * h/height), clamped to [0, 1] (NaN becomes 0). Monitored: "Resampling to WxH, <description>",
   // one unit per output row and channel. Throws GenericException for an empty image, a size below 1, an unknown
   // code or a block size below 1; an abort or an exhausted memory leaves the image as it was.
   void Resample( int32_t width, int32_t height, int32_t interpolation, int32_t blockSize = 5 );

   // Turns every channel by `angle` radians (counter-clockwise on the screen) about (centerX, centerY), onto the
   // bounding box of the turned corner samples, with an interpolation of Interpolation.h. Samples that come from
   // outside the source take the fill value of their channel (stored unclamped): one value per nominal channel, 0
   // for alpha channels and for all channels when no values are given; the others are the kernel's value, clamped
   // to [0, 1]. Monitored: "Rotate <degrees> deg, <description>", one unit per output row and channel. Throws
   // GenericException for an empty image, an unknown code, a block size below 1, fewer fill values than nominal
   // channels, or a non-finite angle or centre; an abort or an exhausted memory leaves the image as it was.
   void Rotate( float centerX, float centerY, float angle, std::span<const float> fill, int32_t interpolation,
                int32_t blockSize = 5 );

private:
   std::vector<Plane> planes;
   int32_t width = 0;
   int32_t height = 0;
   int32_t nominal = 0;
   int32_t alpha = 0;
   int32_t colorSpace = ColorSpace::Gray;
   mutable StatusCallback status;
};

// Median filter of the nominal channels of an image (MedianKernel.h): starts the image's monitor with the text
// "Two-way Hybrid Median Filter" when hybrid is asked (even for a size of 3, which the kernel turns into a plain
// median), else "Median Filter", and a total of nominal channels x height; then runs ApplyMedianKernel.
void ApplyMedianFilter( Image& image, int32_t size, float amount, bool hybrid, bool circular );

} // namespace qor

#endif
