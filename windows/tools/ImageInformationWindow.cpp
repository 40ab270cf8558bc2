#include "windows/tools/ImageInformationWindow.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>
#include <cmath>

#include "classlib/Math.h"
#include "platform/ICCProfile.h"
#include "process/ProcessContainer.h"
#include "support/FailureReport.h"
#include "support/RichTextWriter.h"
#include "windows/frames/ProcessingReportFrame.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/image/ImageFileFormat.h"
#include "windows/main/MainWindow.h"

namespace
{

// Resolutions with up to 15 significant digits, without trailing zeros: 72 prints as 72.
QString Real( float value )
{
   return QString::number( double( value ), 'g', 15 );
}

QString Unit( bool metric )
{
   return metric ? "Centimeter" : "Inch";
}

QString SampleFormat( bool floatingPoint, bool unsignedSamples )
{
   if ( floatingPoint )
      return "IEEE floating point";
   return QString( unsignedSamples ? "Unsigned" : "Signed" ) + " integers";
}

// The report names the bitmap format in full; a window without a file has none.
QString FileFormatName( uint8_t format )
{
   if ( format == BMPImageFileFormat )
      return "Windows Bitmap";
   const std::string name = ImageFileFormatName( ImageFileFormat( format ) );
   return name.empty() ? QString( "<*Unknown*>" ) : QString::fromStdString( name );
}

// A text of the file (a TIFF description, say) keeps its line breaks as single carriage returns.
QString FileText( const std::string& text )
{
   return QString::fromStdString( text ).replace( '\r', '\n' );
}

void AddFormatBlock( QStringList& lines, const TImageWindow& w )
{
   if ( w.fileFormat == FITSImageFileFormat && w.fitsOptions != nullptr )
   {
      const FITSOptions& o = *w.fitsOptions;
      lines << "FITS Specific Data";
      lines << "   Bits per sample: " + QString::number( o.bitsPerSample );
      lines << "   Sample format: " + SampleFormat( o.floatingPoint, o.unsignedSamples );
      lines << "   Resolution unit: " + Unit( o.metricResolution );
      lines << "   Resolution in pixels: " + Real( o.resolution );
   }
   else if ( w.fileFormat == TIFFImageFileFormat && w.tiffOptions != nullptr )
   {
      const TIFFOptions& o = *w.tiffOptions;
      lines << "TIFF Specific Data";
      lines << "   Bits per sample: " + QString::number( o.bitsPerSample );
      lines << "   Sample format: " + QString( o.floatingPoint ? "IEEE floating point" : "Unsigned integers" );
      lines << "   Compression code: " + QString::number( o.compression );
      lines << "   File organization: " + QString( o.planar ? "Planar" : "Chunky" );
      lines << "   Resolution unit: " + Unit( o.metricResolution );
      lines << "   X-axis resolution in pixels: " + Real( o.xResolution );
      lines << "   Y-axis resolution in pixels: " + Real( o.yResolution );
      lines << "   Image description: " + FileText( o.description );
      lines << "   Software description: " + FileText( o.software );
      lines << "   Copyright notice: " + FileText( o.copyright );
   }
   else if ( w.fileFormat == RAWImageFileFormat && w.rawOptions != nullptr )
   {
      const RAWOptions& o = *w.rawOptions;
      lines << "RAW File Definition Parameters";
      lines << "   Width in pixels: " + QString::number( o.width );
      lines << "   Height in pixels: " + QString::number( o.height );
      lines << "   Number of channels: " + QString::number( o.channels );
      lines << "   Bits per sample: " + QString::number( o.bitsPerSample );
      lines << "   Sample format: " + SampleFormat( o.floatingPoint, o.unsignedSamples );
      lines << "   File organization: " + QString( o.planar ? "Planar" : "Chunky" );
      lines << "   Byte order: " + QString( o.reverseByteOrder ? "Big" : "Little" ) + " endian";
      lines << "   Header size in bytes: " + QString::number( o.dataOffset );
      if ( o.keepHeader )
         lines << "   RAW header data will be preserved if the file is saved as RAW.";
   }
   else if ( w.fileFormat == JPEGImageFileFormat && w.jpegOptions != nullptr )
   {
      const JPEGOptions& o = *w.jpegOptions;
      lines << "JPEG Specific Data";
      lines << "   JPEG quality: " + ( o.quality != 0 ? QString::number( o.quality ) : QString( "<*Unknown*>" ) );
      if ( o.optimizedCoding )
         lines << "   JPEG file uses optimized coding.";
      if ( o.progressive )
         lines << "   JPEG file has progressive organization.";
      if ( o.hasJFIFMarker )
      {
         lines << "   JFIF marker found.";
         lines << "      JFIF major version number: " + QString::number( o.jfifMajorVersion );
         lines << "      JFIF minor version number: " + QString::number( o.jfifMinorVersion );
         lines << "      Resolution unit: " + Unit( o.metricResolution );
         lines << "      X-axis resolution in pixels: " + Real( o.xResolution );
         lines << "      Y-axis resolution in pixels: " + Real( o.yResolution );
      }
   }
}

// The description of the window's profile: through its open handle, or (display colour management unavailable)
// through a handle opened for the question.
QString ProfileDescription( const TImageWindow& w )
{
   if ( w.iccProfileHandle != nullptr )
      return QString::fromStdString( GetICCProfileDescription( w.iccProfileHandle ) );
   ICCProfileHandle handle = OpenICCProfileData( *w.iccProfile );
   const std::string description = GetICCProfileDescription( handle );
   CloseICCProfile( handle );
   return QString::fromStdString( description );
}

} // namespace

TImageInformationWindow::TImageInformationWindow( QWidget* owner )
   : TLFToolWindow( owner ), reportFontName( ReportFontName ), reportFontSize( DefaultReportFontSize )
{
   setObjectName( "ImageInformationWindow" );
   setWindowTitle( "Image Information" );
   setSizeGripEnabled( true );

   Edit = MakeReportEdit( this );
   ViewsList = new TViewsListFrame( this );
   ViewsList->setObjectName( "ViewsList" );
   ViewsList->includePreviews = false;
   Save_Button = new QPushButton( "Save...", this );
   Save_Button->setObjectName( "Save_Button" );

   auto* layout = new QGridLayout( this );
   layout->setContentsMargins( 4, 4, 4, 4 );
   layout->addWidget( Edit, 0, 0, 1, 3 );
   layout->addWidget( ViewsList, 1, 0 );
   layout->setColumnStretch( 1, 1 );
   layout->addWidget( Save_Button, 1, 2 );
   layout->setRowStretch( 0, 1 );
   resize( 520, 480 );

   connect( ViewsList, &TViewsListFrame::ViewSelected, this, [this]( TImageWindow::View* view ) { SelectView( view ); } );
   connect( Save_Button, &QPushButton::clicked, this, [this] { Save_ButtonClick(); } );
   ViewsList->Rebuild();
   SelectView( nullptr );
}

TImageWindow::View* TImageInformationWindow::CurrentView() const
{
   return ViewsList->currentView;
}

void TImageInformationWindow::SelectView( TImageWindow::View* view )
{
   ViewsList->currentView = view;
   ViewsList->SelectCurrentView();
   BuildReport();
}

QStringList TImageInformationWindow::ReportLines( const TImageWindow& w )
{
   QStringList lines;
   const qor::Image& image = *w.image;

   lines << "Image identifier: " + QString::fromStdString( w.mainView->Identifier() );
   if ( !w.filePath.empty() )
   {
      lines << "File path: " + QString::fromStdString( w.filePath );
      if ( w.isCopy )
         lines << "The image is being edited as a copy of the original file.";
   }
   else
      lines << "The image has been newly created and has not been saved.";
   lines << "The image has " + QString( w.modificationCount <= 0 ? "not " : "" ) +
                "been modified since opened/saved. Modify counter = " + QString::number( w.modificationCount );

   lines << "" << "File format: " + FileFormatName( w.fileFormat ) << "";
   AddFormatBlock( lines, w );

   if ( w.fitsOptions != nullptr && !w.fitsOptions->keywords.IsEmpty() )
      lines << "" << "FITS header keywords have been defined for this image."
            << "   Number of FITS header keywords: " + QString::number( w.fitsOptions->keywords.Length() );
   if ( w.iptcInfo != nullptr && !w.iptcInfo->IsEmpty() )
      lines << "" << "IPTC Photo Info data have been defined for this image."
            << "   Number of IPTC Photo Info data items: " + QString::number( w.iptcInfo->Count() );

   const int32_t nominal = image.NumberOfNominalChannels();
   const int32_t alpha = image.NumberOfChannels() - nominal;
   // In 64 bits: an image of 32000 x 32000 pixels holds more than 4 GB.
   const uint64_t bytes = uint64_t( image.Width() ) * uint64_t( image.Height() ) * 4u * uint64_t( nominal + alpha );
   lines << "" << "Dimensional Data";
   lines << "   Width in pixels: " + QString::number( image.Width() );
   lines << "   Height in pixels: " + QString::number( image.Height() );
   lines << "   Number of channels: " + QString::number( nominal );
   lines << "   Number of alpha channels: " + QString::number( alpha );
   lines << "   Total pixel data size in bytes: " + QString::number( bytes );
   lines << "   Resolution unit: " + Unit( w.metricResolution );
   lines << "   Resolution in pixels: " + Real( w.resolution );

   lines << "" << "Color Space";
   lines << "   Current color space: " + QString( image.IsColor() ? "RGB Color" : "Grayscale" );
   lines << ( w.rgbWorkingSpace.SharesDataWith( GlobalRGBWorkingSpace )
                 ? "   The image uses the global RGB Working Space parameters."
                 : "   The image uses locally defined RGB Working Space parameters." );

   lines << "" << "Color Management";
   lines << "   Color Management is " + QString( w.colorManagementEnabled ? "enabled" : "disabled" ) + " for this image.";
   if ( w.iccProfile != nullptr && w.iccProfile->size() >= 4 )
   {
      lines << "   The image has an assigned ICC profile.";
      lines << "   ICC Profile length in bytes: " + QString::number( qor::ReadBigEndianUInt32( w.iccProfile->data() ) );
      lines << "   ICC Profile description: " + ProfileDescription( w );
   }
   else
      lines << "   The image has no assigned ICC profile.";

   lines << "" << "Masking";
   if ( w.maskWindow != nullptr )
   {
      lines << "   The image has an assigned mask.";
      lines << "      Mask is " + QString( w.maskEnabled ? "enabled" : "disabled" ) + " and " +
                   QString( w.maskShown ? "visible." : "not visible." );
      lines << "      Mask identifier:" + QString::fromStdString( w.maskWindow->mainView->Identifier() );
   }
   else
      lines << "   The image has no assigned mask.";
   if ( w.maskReferences.empty() )
      lines << "   The image has no active mask references.";
   else
      lines << "   The image has active mask references."
            << "      Number of masked objects: " + QString::number( w.maskReferences.size() );

   lines << "" << "Previews";
   QStringList previews;
   for ( const TImageWindow::Preview* p : w.previews )
      if ( !p->beingDeleted )
         previews << QString( "      %1: L=%2, T=%3, W=%4, H=%5%6" )
                         .arg( QString::fromStdString( p->Identifier() ) )
                         .arg( p->left )
                         .arg( p->top )
                         .arg( p->GetImage().Width() )
                         .arg( p->GetImage().Height() )
                         .arg( p->HasStoredState() ? ", Stored" : "" );
   if ( previews.isEmpty() )
      lines << "   There are no previews defined for this image.";
   else
      lines << "   There are " + QString::number( previews.size() ) + " preview(s) defined for this image."
            << previews;

   lines << "" << "Processing";
   const ProcessContainer& history = w.mainView->History();
   const size_t processes = history.instances.Length();
   lines << "   The process container for this image view " +
                ( processes == 0 ? QString( "is empty." )
                                 : "includes " + QString::number( processes ) + " process(es)." );
   if ( w.undoEnabled )
   {
      if ( w.undoAvailable || w.redoAvailable )
         lines << "   An undo/redo operation is currently applicable.";
      lines << "   Swap file path: " + QString::fromStdString( w.swapFilePath );
      lines << "   Temporary storage file path: " + QString::fromStdString( w.tempFilePath );
   }
   else
      lines << "   *** WARNING *** Undo has been disabled for this image.";
   if ( processes != 0 )
   {
      lines << "   Processing sequence (use ProcessingHistory for details):";
      for ( const Process* instance : history.instances )
         lines << "      " + QString::fromStdString( instance->Id() );
   }
   return lines;
}

void TImageInformationWindow::BuildReport()
{
   TImageWindow::View* view = CurrentView();
   if ( view == nullptr )
   {
      Edit->clear();
      return;
   }

   // The caret's place as a fraction of the text; an empty text puts it at the top.
   const int length = Edit->document()->characterCount() - 1;
   const float fraction = length > 0 ? float( Edit->textCursor().selectionStart() ) / float( length ) : 0.0f;
   const QSignalBlocker blocker( Edit );
   Edit->setUpdatesEnabled( false );

   ClearReport( Edit, reportFontName, reportFontSize );
   Edit->setPlainText( ReportLines( *view->Window() ).join( '\n' ) );

   const int newLength = Edit->document()->characterCount() - 1;
   QTextCursor caret( Edit->document() );
   caret.setPosition( std::clamp( int( qor::Round( double( fraction ) * newLength ) ), 0, newLength ) );
   Edit->setTextCursor( caret );
   Edit->ensureCursorVisible();
   Edit->setUpdatesEnabled( true );
   Edit->viewport()->update();
}

void TImageInformationWindow::Save_ButtonClick()
{
   TImageWindow::View* view = CurrentView();
   if ( view == nullptr )
      return;
   QString directory;
   QString proposed;
   if ( !view->Window()->filePath.empty() )
   {
      const QFileInfo file( QString::fromStdString( view->Window()->filePath ) );
      directory = file.absolutePath();
      proposed = file.completeBaseName() + "_information";
   }
   const QString name = AskReportFileName( "Save Image Information", directory, proposed );
   if ( name.isEmpty() )
      return;
   try
   {
      SaveReportDocument( *Edit->document(), reportFontName, reportFontSize, name );
   }
   catch ( ... )
   {
      ReportCaughtFailure( "windows/tools/ImageInformationWindow", __LINE__ );
   }
}

// ---- Notifications -------------------------------------------------------------------------------------------------

bool TImageInformationWindow::IsPreviewOfCurrent( const TImageWindow::View& view ) const
{
   const TImageWindow::View* current = CurrentView();
   return current != nullptr && view.IsPreview() && view.Window() == current->Window();
}

bool TImageInformationWindow::IsMaskOfCurrent( const TImageWindow::View& view ) const
{
   const TImageWindow::View* current = CurrentView();
   return current != nullptr && view.IsMainView() && current->Window()->maskWindow != nullptr &&
          view.Window() == current->Window()->maskWindow;
}

void TImageInformationWindow::RebuildIf( bool condition )
{
   // A window that is closing tells of its previews first; its own deletion follows and clears the report.
   if ( condition && !CurrentView()->Window()->IsBeingDestroyed() )
      BuildReport();
}

void TImageInformationWindow::ViewCreated( TImageWindow::View& view )
{
   ViewsList->Rebuild();
   RebuildIf( IsPreviewOfCurrent( view ) );
}

void TImageInformationWindow::ViewUpdated( TImageWindow::View& view )
{
   RebuildIf( &view == CurrentView() || IsPreviewOfCurrent( view ) || IsMaskOfCurrent( view ) );
}

void TImageInformationWindow::ViewRenamed( TImageWindow::View& view )
{
   ViewsList->Rebuild();
   ViewUpdated( view );
}

void TImageInformationWindow::ViewDeleted( TImageWindow::View& view )
{
   if ( view.IsMainView() )
   {
      const bool current = &view == CurrentView();
      ViewsList->RemoveView( &view );
      if ( current )
         SelectView( nullptr );
   }
   else
      RebuildIf( IsPreviewOfCurrent( view ) );
}

void TImageInformationWindow::ColorManagementChanged( TImageWindow::View& view )
{
   RebuildIf( &view == CurrentView() );
}

void TImageInformationWindow::ViewSaved( TImageWindow::View& view )
{
   RebuildIf( &view == CurrentView() );
}

void TImageInformationWindow::MaskChanged( TImageWindow::View& view )
{
   RebuildIf( &view == CurrentView() );
}

void TImageInformationWindow::MaskEnabled( TImageWindow::View& view )
{
   RebuildIf( &view == CurrentView() );
}

void TImageInformationWindow::MaskDisabled( TImageWindow::View& view )
{
   RebuildIf( &view == CurrentView() );
}

void TImageInformationWindow::MaskShown( TImageWindow::View& view )
{
   RebuildIf( &view == CurrentView() );
}

void TImageInformationWindow::MaskHidden( TImageWindow::View& view )
{
   RebuildIf( &view == CurrentView() );
}

void TImageInformationWindow::UndoStateChanged( TImageWindow::View& view )
{
   RebuildIf( &view == CurrentView() );
}

void TImageInformationWindow::PreviewStored( TImageWindow::View& view )
{
   RebuildIf( IsPreviewOfCurrent( view ) );
}

void TImageInformationWindow::HistogramsChanged( TImageWindow::View& view )
{
   RebuildIf( &view == CurrentView() || IsPreviewOfCurrent( view ) );
}

void TImageInformationWindow::StatisticsChanged( TImageWindow::View& view )
{
   RebuildIf( &view == CurrentView() || IsPreviewOfCurrent( view ) );
}

TImageInformationWindow& ImageInformationWindow()
{
   static QPointer<TImageInformationWindow> window;
   if ( window.isNull() )
      window = new TImageInformationWindow( MainWindow );
   return *window;
}
