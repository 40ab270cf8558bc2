#include "windows/frames/InterpolationParametersFrame.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "process/InterpolationParameters.h"

TInterpolationParameters_Frame::TInterpolationParameters_Frame( QWidget* owner ) : QFrame( owner )
{
   setObjectName( "InterpolationParameters_Frame" );
   auto* outer = new QVBoxLayout( this );
   outer->setContentsMargins( 0, 0, 0, 0 );
   Interpolation_Panel = new QFrame( this );
   Interpolation_Panel->setObjectName( "Interpolation_Panel" );
   Interpolation_Panel->setFrameShape( QFrame::StyledPanel );
   outer->addWidget( Interpolation_Panel );

   auto* grid = new QGridLayout( Interpolation_Panel );
   InterpolationCaption_Panel = new QLabel( "  Interpolation", Interpolation_Panel );
   InterpolationCaption_Panel->setObjectName( "InterpolationCaption_Panel" );
   InterpolationCaption_Panel->setAutoFillBackground( true );
   InterpolationCaption_Panel->setBackgroundRole( QPalette::Dark );
   grid->addWidget( InterpolationCaption_Panel, 0, 0, 1, 2 );
   Label1 = new QLabel( "Algorithm:", Interpolation_Panel );
   Label1->setObjectName( "Label1" );
   InterpolationAlgorithm_ComboBox = new QComboBox( Interpolation_Panel );
   InterpolationAlgorithm_ComboBox->setObjectName( "InterpolationAlgorithm_ComboBox" );
   for ( int32_t a = 0; a < InterpolationParameters::NumberOfAlgorithms; ++a )
      InterpolationAlgorithm_ComboBox->addItem( QString::fromStdString( InterpolationParameters::AlgorithmName( a ) ) );
   BlockSize_Label = new QLabel( "Block size:", Interpolation_Panel );
   BlockSize_Label->setObjectName( "BlockSize_Label" );
   BlockSize_ComboBox = new QComboBox( Interpolation_Panel );
   BlockSize_ComboBox->setObjectName( "BlockSize_ComboBox" );
   for ( int32_t n = 5; n <= 9; ++n )
      BlockSize_ComboBox->addItem( QString::number( n ) );
   grid->addWidget( Label1, 1, 0 );
   grid->addWidget( InterpolationAlgorithm_ComboBox, 1, 1 );
   grid->addWidget( BlockSize_Label, 2, 0 );
   grid->addWidget( BlockSize_ComboBox, 2, 1 );

   connect( InterpolationAlgorithm_ComboBox, &QComboBox::activated, this,
            [this] { InterpolationAlgorithm_ComboBoxSelect(); } );
   connect( BlockSize_ComboBox, &QComboBox::activated, this, [this] { BlockSize_ComboBoxSelect(); } );
   UpdateControls();
}

void TInterpolationParameters_Frame::UpdateControls()
{
   InterpolationAlgorithm_ComboBox->setCurrentIndex( algorithm );
   // A block size outside 5 .. 9 (from a stream) shows no entry rather than a wrong one.
   BlockSize_ComboBox->setCurrentIndex( blockSize >= 5 && blockSize <= 9 ? blockSize - 5 : -1 );
   const bool spline = algorithm == InterpolationParameters::BicubicSpline;
   BlockSize_Label->setEnabled( spline );
   BlockSize_ComboBox->setEnabled( spline );
}

void TInterpolationParameters_Frame::InterpolationAlgorithm_ComboBoxSelect()
{
   const int index = InterpolationAlgorithm_ComboBox->currentIndex();
   if ( index >= 0 && index != algorithm )
      algorithm = index;
   UpdateControls();
}

void TInterpolationParameters_Frame::BlockSize_ComboBoxSelect()
{
   const int index = BlockSize_ComboBox->currentIndex();
   if ( index >= 0 )
      blockSize = index + 5;
}
