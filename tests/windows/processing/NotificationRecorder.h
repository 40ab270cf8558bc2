#ifndef LF_TESTS_WINDOWS_PROCESSING_NOTIFICATION_RECORDER_H
#define LF_TESTS_WINDOWS_PROCESSING_NOTIFICATION_RECORDER_H

// A processing window that records every notification it gets, as "kind:full identifier" (a process: its
// identifier; the real-time preview owner: its objectName), optionally only of some kinds.

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "windows/processing/LFToolWindow.h"

namespace test
{

class NotificationRecorder : public TLFToolWindow
{
public:
   explicit NotificationRecorder( std::set<std::string> kinds = {} ) : TLFToolWindow( nullptr ), kinds( std::move( kinds ) ) {}

   void ViewCreated( TImageWindow::View& v ) override { Record( "created", &v ); }
   void ViewUpdated( TImageWindow::View& v ) override { Record( "updated", &v ); }
   void ViewRenamed( TImageWindow::View& v ) override { Record( "renamed", &v ); }
   void ViewDeleted( TImageWindow::View& v ) override { Record( "deleted", &v ); }
   void ColorManagementChanged( TImageWindow::View& v ) override { Record( "colormanagement", &v ); }
   void ViewSaved( TImageWindow::View& v ) override { Record( "saved", &v ); }
   void MaskChanged( TImageWindow::View& v ) override { Record( "mask", &v ); }
   void MaskEnabled( TImageWindow::View& v ) override { Record( "maskenabled", &v ); }
   void MaskDisabled( TImageWindow::View& v ) override { Record( "maskdisabled", &v ); }
   void MaskShown( TImageWindow::View& v ) override { Record( "maskshown", &v ); }
   void MaskHidden( TImageWindow::View& v ) override { Record( "maskhidden", &v ); }
   void PreviewStored( TImageWindow::View& v ) override { Record( "stored", &v ); }
   void UndoStateChanged( TImageWindow::View& v ) override { Record( "undo", &v ); }
   void HistogramsChanged( TImageWindow::View& v ) override { Record( "histograms", &v ); }
   void StatisticsChanged( TImageWindow::View& v ) override { Record( "statistics", &v ); }
   void ProcessUpdated( Process& p ) override { Record( "process", nullptr, p.Id() ); }
   void BeginReadout( TImageWindow::View& v, float, float, float ) override { Record( "beginreadout", &v ); }
   void UpdateReadout( TImageWindow::View& v, float, float, float ) override { Record( "readout", &v ); }
   void EndReadout( TImageWindow::View& v ) override { Record( "endreadout", &v ); }
   void RealTimePreviewOwnerChanged( QWidget* w ) override
   {
      Record( "rtpowner", nullptr, w != nullptr ? w->objectName().toStdString() : std::string() );
   }
   void GlobalColorManagementChanged() override { Record( "globalcolormanagement", nullptr, "" ); }

   // The views of the notifications of one kind, in order.
   std::vector<TImageWindow::View*> Views( const std::string& kind ) const
   {
      std::vector<TImageWindow::View*> result;
      for ( const auto& [k, v] : views )
         if ( k == kind )
            result.push_back( v );
      return result;
   }

   std::vector<std::string> events;

private:
   void Record( const std::string& kind, TImageWindow::View* view, const std::string& name = std::string() )
   {
      if ( !kinds.empty() && kinds.count( kind ) == 0 )
         return;
      events.push_back( kind + ":" + ( view != nullptr ? view->FullIdentifier() : name ) );
      views.emplace_back( kind, view );
   }

   std::set<std::string> kinds;
   std::vector<std::pair<std::string, TImageWindow::View*>> views;
};

} // namespace test

#endif
