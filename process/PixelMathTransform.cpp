#include "process/PixelMathTransform.h"

#include <QString>
#include <QWidget>

#include <memory>

#include "classlib/File.h"
#include "classlib/Image.h"
#include "classlib/Interpolation.h"
#include "classlib/PixelMath.h"
#include "classlib/RGBColorSystem.h"
#include "platform/Prompter.h"
#include "process/ImageWindowService.h"
#include "process/Preferences.h"
#include "process/ProcessInstanceStream.h"
#include "process/ProcessWindows.h"
#include "support/Utils.h"

namespace
{

// The bytes an item takes at the least: operator, identifier length, factors.
constexpr int64_t MinimumItemSize = 4 + 4 + 13;

std::string Quoted( const std::string& text )
{
   return "\"" + text + "\"";
}

// An image's monitor reports where another's does (the status dialog of the run).
void ConnectMonitor( const qor::Image& image, const qor::Image& like )
{
   image.Status().SetCallback( like.Status().Callback(), like.Status().Data() );
}

void DisconnectMonitor( const qor::Image& image )
{
   image.Status().SetCallback( nullptr, nullptr );
}

// The working space of a view's window, or the global one.
const qor::RGBColorSystem& WorkingSpaceOf( const ProcessView& view )
{
   const qor::RGBColorSystem* rgbws = view.RGBWorkingSpace();
   return rgbws != nullptr ? *rgbws : ImageWindows().GlobalRGBWorkingSpace();
}

// Asks whether to go on past an item whose image is gone; anything but Yes aborts the run.
void ConfirmBrokenLink( const std::string& identifier, const qor::Image& work )
{
   const QString text = QString::fromStdString( "A link to the view:\n" + identifier +
                                                "\nis broken. Continue applying PixelMath sequence?" );
   if ( platform::Ask( platform::Icon::Error, "PixelMath", text, platform::Buttons::YesNo, platform::Answer::Yes ) !=
        platform::Answer::Yes )
      throw qor::Image::AbortProcessEvent( &work );
}

} // namespace

// ---- SourceItem ---------------------------------------------------------------------------------------------------

std::unique_ptr<Process::Parameters> PixelMathTransform::SourceItem::Clone() const
{
   return std::make_unique<SourceItem>( *this );
}

void PixelMathTransform::SourceItem::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const SourceItem&>( source );
}

void PixelMathTransform::SourceItem::Read( qor::File& file, float version )
{
   const int8_t readOp = int8_t( file.ReadValue<int32_t>() & 0xFF );
   // An image identifier: a length no identifier has is damage, refused before anything is allocated for it.
   const int32_t length = file.ReadValue<int32_t>();
   if ( length < 0 || length > ProcessInstanceStream::MaxIdentifierLength || length > file.BytesLeft() )
      throw ProcessInstanceStream::Error( file.Path() );
   std::string readId = file.ReadString( length );
   ChannelFactors readFactors;
   readFactors.Read( file, version );
   op = readOp;
   imageId = std::move( readId );
   channelFactors = readFactors;
   view = nullptr;
}

void PixelMathTransform::SourceItem::Write( qor::File& file, float version ) const
{
   file.WriteValue( int32_t( op ) );
   file.WriteValue( int32_t( imageId.size() ) );
   file.WriteString( imageId );
   channelFactors.Write( file, version );
}

std::string PixelMathTransform::SourceItem::ToText( int32_t level ) const
{
   // A code outside the table (only a damaged stream holds one) is shown as its number.
   const std::string token = ( op >= 0 && op < qor::PixelMathOperator::Count )
                                 ? std::string( qor::PixelMathOperator::Token( op ) )
                                 : std::to_string( op );
   return "operator=" + Quoted( token ) + ", imageId=" + Quoted( imageId ) + ", channelFactors={" +
          channelFactors.ToText( level ) + "}";
}

void PixelMathTransform::SourceItem::UpdateView()
{
   view = imageId.empty() ? nullptr : ImageWindows().FindMainView( imageId );
}

// ---- ResultParameters ---------------------------------------------------------------------------------------------

std::unique_ptr<Process::Parameters> PixelMathTransform::ResultParameters::Clone() const
{
   return std::make_unique<ResultParameters>( *this );
}

void PixelMathTransform::ResultParameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const ResultParameters&>( source );
}

void PixelMathTransform::ResultParameters::Read( qor::File& file, float version )
{
   ResultParameters read;
   read.resultFactors.Read( file, version );
   file.ReadValue( read.addConstant );
   read.rescale = file.ReadValue<uint8_t>() != 0;
   file.ReadValue( read.rescaleLower );
   file.ReadValue( read.rescaleUpper );
   *this = read;
}

void PixelMathTransform::ResultParameters::Write( qor::File& file, float version ) const
{
   resultFactors.Write( file, version );
   file.WriteValue( addConstant );
   file.WriteValue( uint8_t( rescale ? 1 : 0 ) );
   file.WriteValue( rescaleLower );
   file.WriteValue( rescaleUpper );
}

std::string PixelMathTransform::ResultParameters::ToText( int32_t level ) const
{
   std::string text = "resultFactors={" + resultFactors.ToText( level ) + "}";
   if ( addConstant != 0 )
      text += ",\naddConstant=" + FormatReal( addConstant, 6 );
   if ( rescale )
      text += ",\nrescale=1,\nrescaleLower=" + FormatReal( rescaleLower, 6 ) +
              ",\nrescaleUpper=" + FormatReal( rescaleUpper, 6 );
   return text;
}

// ---- Parameters ---------------------------------------------------------------------------------------------------

PixelMathTransform::Parameters::Parameters() : sources( 1 )
{
}

std::unique_ptr<Process::Parameters> PixelMathTransform::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void PixelMathTransform::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

void PixelMathTransform::Parameters::Read( qor::File& file, float version )
{
   // Without item 0 there is no target to work on; a count the bytes left cannot hold is damage.
   const int32_t count = file.ReadValue<int32_t>();
   if ( count < 1 || count > file.BytesLeft() / MinimumItemSize )
      throw ProcessInstanceStream::Error( file.Path() );
   std::vector<SourceItem> items( static_cast<size_t>( count ) );
   for ( SourceItem& item : items )
      item.Read( file, version );
   ResultParameters readResult;
   readResult.Read( file, version );
   const bool readDestination = file.ReadValue<uint8_t>() != 0;

   sources = std::move( items );
   result = readResult;
   destination = readDestination;
   UpdateViews();
}

void PixelMathTransform::Parameters::Write( qor::File& file, float version ) const
{
   file.WriteValue( int32_t( sources.size() ) );
   for ( const SourceItem& item : sources )
      item.Write( file, version );
   result.Write( file, version );
   file.WriteValue( uint8_t( destination == CreateNew ? 1 : 0 ) );
}

std::string PixelMathTransform::Parameters::ToText( int32_t level ) const
{
   std::string text;
   for ( size_t n = 0; n < sources.size(); ++n )
      text += "source[" + std::to_string( n ) + "]={" + sources[n].ToText( level ) + "},\n";
   text += result.ToText( level );
   text += ",\ndestination=" + Quoted( destination == CreateNew ? "createNew" : "replace" );
   return text;
}

void PixelMathTransform::Parameters::UpdateViews()
{
   for ( SourceItem& item : sources )
      item.UpdateView();
}

// ---- Process ------------------------------------------------------------------------------------------------------

PixelMathTransform::PixelMathTransform()
{
   parameters = std::make_unique<Parameters>();
}

PixelMathTransform::PixelMathTransform( const Parameters& values )
{
   parameters = values.Clone();
}

PixelMathTransform::PixelMathTransform( const PixelMathTransform& source ) : Process( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> PixelMathTransform::Clone() const
{
   return std::make_unique<PixelMathTransform>( *this );
}

std::unique_ptr<Process> PixelMathTransform::ProbeInstance() const
{
   return std::make_unique<PixelMathTransform>();
}

std::string PixelMathTransform::Id() const
{
   return "PixelMathTransform";
}

bool PixelMathTransform::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TPixelMathWindow" );
}

bool PixelMathTransform::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void PixelMathTransform::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      Process::LaunchInterface();
}

bool PixelMathTransform::IsMaskable( const ProcessView& view, const MaskTarget* ) const
{
   return view.IsPreview() || Values().destination == Replace;
}

bool PixelMathTransform::ModifiesTarget( const ProcessView& view ) const
{
   return view.IsPreview() || Values().destination == Replace;
}

void PixelMathTransform::DoExecuteOn( ProcessView& view )
{
   Parameters& p = Values();
   qor::Image* target = view.TargetImage();
   if ( target == nullptr || target->IsEmpty() )
      return;
   if ( p.sources.empty() )
      throw qor::GenericException( "PixelMathTransform: the source list has no target item" );

   // 1. The links are looked up anew: images may have been closed or opened since the list was made. The target
   // itself is the working image, unless the result goes to a new image or an operand reads the target as it was.
   p.UpdateViews();
   const bool preview = view.IsPreview();
   bool readsTarget = false;
   for ( size_t k = 1; k < p.sources.size(); ++k )
      readsTarget = readsTarget || p.sources[k].view == &view;
   const bool newImage = !preview && p.destination == CreateNew;
   std::unique_ptr<qor::Image> copy;
   qor::Image* work = target;
   if ( newImage || ( !preview && readsTarget ) )
   {
      copy = std::make_unique<qor::Image>( *target );
      ConnectMonitor( *copy, *target );
      work = copy.get();
   }
   view.AddStatusTask( "Initialize result image: " + view.FullId(), 2 );

   // 2. The target's own factors and inversion.
   const ChannelFactors& own = p.sources[0].channelFactors;
   qor::ApplyPixelMathChannelFactors( *work, own.factors, own.invert );

   // 3. The operands, in order. Each operand stage takes the range of what it writes, which spares the rescale a
   // pass over the image when nothing changes it afterwards.
   qor::PixelMathRanges ranges;
   const qor::Image* whole = view.WholeImage();
   int32_t left = 0, top = 0;
   view.PreviewOrigin( left, top );
   for ( size_t k = 1; k < p.sources.size(); ++k )
   {
      const SourceItem& item = p.sources[k];
      const qor::Image* source = item.view != nullptr ? item.view->TargetImage() : nullptr;
      if ( source != nullptr )
      {
         view.AddStatusTask( "Apply image: " + item.view->FullId(), 2 );
         // An operand of another size is brought to the size of the target's whole image.
         std::unique_ptr<qor::Image> resampled;
         if ( whole != nullptr && ( source->Width() != whole->Width() || source->Height() != whole->Height() ) )
         {
            resampled = std::make_unique<qor::Image>( *source );
            ConnectMonitor( *resampled, *work );
            resampled->Resample( whole->Width(), whole->Height(), qor::Interpolation::Bicubic,
                                 qor::Interpolation::DefaultBlockSize );
            DisconnectMonitor( *resampled );
            source = resampled.get();
         }
         qor::ApplyPixelMathImage( *work, *source, item.op, item.channelFactors.factors, item.channelFactors.invert,
                                   left, top, WorkingSpaceOf( *item.view ), &ranges );
      }
      else
      {
         if ( item.IsBrokenLink() )
            ConfirmBrokenLink( item.imageId, *work );
         view.AddStatusTask( "Apply constant values", 2 );
         qor::ApplyPixelMathConstants( *work, item.op, item.channelFactors.factors, &ranges );
      }
      // 4.
      if ( item.op == qor::PixelMathOperator::DIVConstrained )
      {
         qor::ConstrainPixelMathInfinities( *work );
         ranges = qor::PixelMathRanges();
      }
   }

   // 5, 6. The result stage.
   const ResultParameters& r = p.result;
   view.AddStatusTask( "Apply result parameters", 2 );
   qor::ApplyPixelMathResult( *work, r.resultFactors.factors, r.resultFactors.invert, r.addConstant, r.rescale,
                              &ranges );
   if ( r.rescale )
   {
      view.AddStatusTask( "Rescale result", 2 );
      qor::RescalePixelMathResult( *work, r.rescaleLower, r.rescaleUpper, r.resultFactors.invert, &ranges );
   }

   // 7, 8. The destination.
   if ( copy != nullptr )
      DisconnectMonitor( *copy );
   if ( newImage )
   {
      ImageWindowService& windows = ImageWindows();
      const std::string& postfix = CurrentPreferences.identifiers.pixelMathDestinationPostfix;
      const std::string identifier =
          postfix.empty() ? std::string() : windows.UniqueImageIdentifier( view.FullId() + postfix );
      MaskTarget* mask = view.EnabledMask();
      ProcessView& created = windows.CreateImageWindow( std::move( copy ), identifier, WorkingSpaceOf( view ) );
      // The target was left as it was: its pixels are the unprocessed data to blend with.
      if ( mask != nullptr && created.TargetImage() != nullptr )
      {
         created.AddStatusTask( "Masking image: " + created.FullId(), 0 );
         ConnectMonitor( *created.TargetImage(), *target );
         const bool masked = windows.ApplyMask( created, *target, *mask );
         DisconnectMonitor( *created.TargetImage() );
         if ( masked )
            SetMask( mask );
      }
      created.Modified( true );
      return;
   }
   if ( copy != nullptr )
      target->Transfer( *copy );
   view.Modified( true );
}
