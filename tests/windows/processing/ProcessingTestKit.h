#ifndef LF_TESTS_WINDOWS_PROCESSING_PROCESSING_TEST_KIT_H
#define LF_TESTS_WINDOWS_PROCESSING_PROCESSING_TEST_KIT_H

// A small process with a window of its own, for the tests of the processing-window framework: Scale multiplies the
// view's pixels by a factor in [0, 2]; its window edits the factor in Factor_Edit and has the four standard buttons.

#include <QLineEdit>
#include <QToolButton>

#include <memory>
#include <string>
#include <vector>

#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "support/Utils.h"
#include "windows/processing/ProcessingWindow.h"

namespace test
{

class ScaleParameters : public Process::Parameters
{
public:
   std::unique_ptr<Process::Parameters> Clone() const override { return std::make_unique<ScaleParameters>( *this ); }
   void Assign( const Process::Parameters& source ) override { *this = dynamic_cast<const ScaleParameters&>( source ); }
   void Read( qor::File& file, float ) override { file.ReadValue( factor ); }
   void Write( qor::File& file, float ) const override { file.WriteValue( factor ); }
   std::string ToText( int32_t ) const override { return "factor=" + FormatReal( factor, 3 ); }
   float factor = 0.5f;
};

class TScaleWindow;

class Scale : public Process
{
public:
   explicit Scale( float factor = 0.5f )
   {
      parameters = std::make_unique<ScaleParameters>();
      Factor() = factor;
   }
   Scale( const Scale& source )
      : Process( source ), runs( source.runs ), abortAtRun( source.abortAtRun ), refuse( source.refuse )
   {
      parameters = source.parameters->Clone();
   }
   std::unique_ptr<Process> Clone() const override { return std::make_unique<Scale>( *this ); }
   std::string Id() const override { return "Scale"; }
   bool IsInterface( const QWidget* form ) const override;
   float& Factor() { return static_cast<ScaleParameters&>( *parameters ).factor; }
   float Factor() const { return static_cast<const ScaleParameters&>( *parameters ).factor; }

   bool CanExecuteOn( const ProcessView& view ) const override { return !*refuse && Process::CanExecuteOn( view ); }

   void DoExecuteOn( ProcessView& view ) override
   {
      ++*runs;
      qor::Image* image = view.TargetImage();
      if ( image == nullptr )
         return;
      for ( int32_t c = 0; c < image->NumberOfChannels(); ++c )
         for ( int64_t i = 0; i < image->NumberOfPixels(); ++i )
            image->PixelData( c )[i] *= Factor();
      // Aborted after the work, so that a roll-back has something to undo.
      if ( *runs == abortAtRun )
         throw qor::Image::AbortProcessEvent( image );
      // As every process does after its work.
      view.Modified( true );
   }

   // Runs of this instance and its clones (shared, so that the window's fresh instances count too).
   std::shared_ptr<int> runs = std::make_shared<int>( 0 );
   int abortAtRun = 0;
   // Whether this instance and its clones refuse every view.
   std::shared_ptr<bool> refuse = std::make_shared<bool>( false );
};

class TScaleWindow : public TProcessingWindow
{
public:
   TScaleWindow() : TProcessingWindow( nullptr )
   {
      setObjectName( "ScaleWindow" );
      setWindowTitle( "  Scale  " );
      Factor_Edit = new QLineEdit( this );
      Factor_Edit->setObjectName( "Factor_Edit" );
      Factor_Edit->setGeometry( 8, 8, 80, 22 );
      SetEditExitHandler( Factor_Edit, [this] { Factor_EditExit(); } );
      int x = 8;
      for ( const char* name : { "Preview_Button", "Apply_Button", "SelectPreviews_Button", "SelectImages_Button" } )
      {
         auto* b = new QToolButton( this );
         b->setObjectName( name );
         b->setGeometry( x, 40, 24, 24 );
         x += 28;
      }
      WriteRealToEdit( Factor_Edit, factor, 3 );
   }

   void Factor_EditExit()
   {
      try
      {
         factor = float( ReadNumberFromEdit( Factor_Edit, 0, 2, true ) );
      }
      catch ( const qor::CatchedException& )
      {
         inputError = true;
      }
      WriteRealToEdit( Factor_Edit, factor, 3 );
   }

   std::unique_ptr<Process> NewInstance() override
   {
      auto instance = std::make_unique<Scale>( factor );
      instance->runs = runs;
      instance->abortAtRun = abortAtRun;
      instance->refuse = refuse;
      ++made;
      return instance;
   }

   void ImportInstance( const Process& instance ) override
   {
      factor = static_cast<const Scale&>( instance ).Factor();
      WriteRealToEdit( Factor_Edit, factor, 3 );
   }

   QLineEdit* Factor_Edit = nullptr;
   float factor = 0.5f;
   std::shared_ptr<int> runs = std::make_shared<int>( 0 );
   int abortAtRun = 0;
   std::shared_ptr<bool> refuse = std::make_shared<bool>( false ); // the instances refuse every view
   int made = 0;
};

inline bool Scale::IsInterface( const QWidget* form ) const
{
   return dynamic_cast<const TScaleWindow*>( form ) != nullptr;
}

} // namespace test

#endif
