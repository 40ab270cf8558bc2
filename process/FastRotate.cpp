#include "process/FastRotate.h"

#include <QString>
#include <QWidget>

#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "platform/Prompter.h"
#include "process/ProcessWindows.h"

std::unique_ptr<Process::Parameters> FastRotate::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void FastRotate::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

void FastRotate::Parameters::Read( qor::File& file, float )
{
   const int32_t r = file.ReadValue<int32_t>();
   if ( r < _180deg || r > vertMirror )
      throw qor::GenericException( "Invalid fast rotation: " + std::to_string( r ) );
   rotation = r;
}

void FastRotate::Parameters::Write( qor::File& file, float ) const
{
   file.WriteValue( rotation );
}

std::string FastRotate::Parameters::ToText( int32_t ) const
{
   return std::string( "rotation=\"" ) + RotationName( rotation ) + '"';
}

FastRotate::FastRotate()
{
   parameters = std::make_unique<Parameters>();
}

FastRotate::FastRotate( int32_t rotation ) : FastRotate()
{
   Params().rotation = rotation;
}

FastRotate::FastRotate( const FastRotate& source ) : GeometricProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> FastRotate::Clone() const
{
   return std::make_unique<FastRotate>( *this );
}

std::string FastRotate::Id() const
{
   return "FastRotate";
}

bool FastRotate::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TFastRotateWindow" );
}

bool FastRotate::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void FastRotate::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      GeometricProcess::LaunchInterface();
}

const char* FastRotate::RotationName( int32_t rotation )
{
   switch ( rotation )
   {
   case _90degCW:
      return "_90degCW";
   case _90degCCW:
      return "_90degCCW";
   case horzMirror:
      return "horzMirror";
   case vertMirror:
      return "vertMirror";
   default:
      return "_180deg";
   }
}

void FastRotate::GetNewSize( int32_t& width, int32_t& height, const ProcessView& ) const
{
   if ( Params().rotation == _90degCW || Params().rotation == _90degCCW )
      std::swap( width, height );
}

std::string FastRotate::ConfirmationText() const
{
   return "Stored previews will be lost and existing mask references will be destroyed. Some of these side-effects "
          "cannot be undone. Proceed?";
}

ImageWindowService::PreviewRect FastRotate::TransformRect( const ImageWindowService::PreviewRect& rect,
                                                           int32_t rotation, int32_t width, int32_t height )
{
   // Inclusive edges of the rectangle in the image before the transform; W and H the size after it.
   const int32_t l = rect.left, t = rect.top, r = rect.left + rect.width - 1, b = rect.top + rect.height - 1;
   const bool quarter = rotation == _90degCW || rotation == _90degCCW;
   const int32_t W = quarter ? height : width;
   const int32_t H = quarter ? width : height;
   ImageWindowService::PreviewRect out = rect;
   switch ( rotation )
   {
   case _90degCW:
      out.left = W - 1 - b;
      out.top = l;
      break;
   case _90degCCW:
      out.left = t;
      out.top = H - 1 - r;
      break;
   case horzMirror:
      out.left = W - 1 - r;
      out.top = t;
      break;
   case vertMirror:
      out.left = l;
      out.top = H - 1 - b;
      break;
   default:
      out.left = W - 1 - r;
      out.top = H - 1 - b;
      break;
   }
   if ( quarter )
      std::swap( out.width, out.height );
   return out;
}

void FastRotate::Transform( qor::Image& image, int32_t rotation )
{
   switch ( rotation )
   {
   case _90degCW:
      image.Rotate90CW();
      break;
   case _90degCCW:
      image.Rotate90CCW();
      break;
   case horzMirror:
      image.MirrorHorizontal();
      break;
   case vertMirror:
      image.MirrorVertical();
      break;
   default:
      image.Rotate180();
      break;
   }
}

void FastRotate::DoExecuteOn( ProcessView& view )
{
   qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return;

   const int32_t width = image->Width(), height = image->Height();
   const std::vector<ImageWindowService::PreviewRect> previews = ImageWindows().Previews( view );

   // The transform reports its progress and can be aborted like any run (the framework then brings the image back
   // from its undo data); the previews stay until it has succeeded.
   Transform( *image, Params().rotation );

   FinishGeometryChange( view );

   // The previews come back on their transformed rectangles. One that would not lie wholly inside the new image
   // (it did not lie inside the old one) is not cut down: it is left out and the user is told.
   std::string dropped;
   for ( const ImageWindowService::PreviewRect& rect : previews )
   {
      const ImageWindowService::PreviewRect moved = TransformRect( rect, Params().rotation, width, height );
      if ( moved.width >= 1 && moved.height >= 1 && moved.left >= 0 && moved.top >= 0 &&
           int64_t( moved.left ) + moved.width <= image->Width() &&
           int64_t( moved.top ) + moved.height <= image->Height() )
         ImageWindows().CreatePreview( view, moved );
      else
         dropped += ( dropped.empty() ? "" : ", " ) + rect.identifier;
   }
   if ( !dropped.empty() )
      platform::ShowMessage( platform::Icon::Information, QString::fromStdString( Id() ),
                             QString::fromStdString( "These previews would fall outside the transformed image and "
                                                     "have been deleted: " + dropped ) );
}
