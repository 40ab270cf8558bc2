#include "platform/FileDialogs.h"

#include <QFileDialog>

#include "platform/DialogRunner.h"

namespace platform
{

namespace
{

class SystemFileDialogs : public FileDialogs
{
public:
   Choice Pick( const Request& request, const QString& initialFilter ) override
   {
      // The arguments are taken as the toolkit's own pickers take them (a directory holding a file name selects
      // that file).
      QFileDialog dialog( request.parent, request.caption, request.directory, request.filter );
      switch ( request.kind )
      {
      case Kind::OpenFile: dialog.setFileMode( QFileDialog::ExistingFile ); break;
      case Kind::OpenFiles: dialog.setFileMode( QFileDialog::ExistingFiles ); break;
      case Kind::SaveFile: dialog.setAcceptMode( QFileDialog::AcceptSave ); break;
      case Kind::Directory:
         dialog.setFileMode( QFileDialog::Directory );
         dialog.setOption( QFileDialog::ShowDirsOnly );
         break;
      }
      if ( !initialFilter.isEmpty() )
         dialog.selectNameFilter( initialFilter );
      Choice choice;
      choice.selectedFilter = initialFilter;
      ModalScope scope( dialog );
      if ( dialog.exec() != QDialog::Accepted )
         return choice;
      choice.names = dialog.selectedFiles();
      if ( request.kind != Kind::OpenFiles && choice.names.size() > 1 )
         choice.names = QStringList{ choice.names.front() };
      if ( request.kind != Kind::Directory )
         choice.selectedFilter = dialog.selectedNameFilter();
      return choice;
   }
};

FileDialogs::Choice PickThroughCurrent( FileDialogs::Kind kind, QWidget* parent, const QString& caption,
                                        const QString& dir, const QString& filter, QString* selectedFilter )
{
   FileDialogs::Request request;
   request.kind = kind;
   // Over whatever window of the program is on top (a report, a stay-on-top tool window), not under it.
   QWidget* top = TopmostWindow();
   request.parent = top != nullptr ? top : parent;
   request.caption = caption;
   request.directory = dir;
   request.filter = filter;
   FileDialogs::Choice choice = FileDialogs::Current().Pick( request, selectedFilter ? *selectedFilter : QString() );
   if ( selectedFilter != nullptr && !choice.names.isEmpty() && !choice.selectedFilter.isEmpty() )
      *selectedFilter = choice.selectedFilter;
   return choice;
}

} // namespace

FileDialogs::~FileDialogs() = default;

QString FileDialogs::getOpenFileName( QWidget* parent, const QString& caption, const QString& dir,
                                      const QString& filter, QString* selectedFilter )
{
   Choice c = PickThroughCurrent( Kind::OpenFile, parent, caption, dir, filter, selectedFilter );
   return c.names.isEmpty() ? QString() : c.names.front();
}

QStringList FileDialogs::getOpenFileNames( QWidget* parent, const QString& caption, const QString& dir,
                                           const QString& filter, QString* selectedFilter )
{
   return PickThroughCurrent( Kind::OpenFiles, parent, caption, dir, filter, selectedFilter ).names;
}

QString FileDialogs::getSaveFileName( QWidget* parent, const QString& caption, const QString& dir,
                                      const QString& filter, QString* selectedFilter )
{
   Choice c = PickThroughCurrent( Kind::SaveFile, parent, caption, dir, filter, selectedFilter );
   return c.names.isEmpty() ? QString() : c.names.front();
}

QString FileDialogs::getExistingDirectory( QWidget* parent, const QString& caption, const QString& dir )
{
   Choice c = PickThroughCurrent( Kind::Directory, parent, caption, dir, QString(), nullptr );
   return c.names.isEmpty() ? QString() : c.names.front();
}

FileDialogs& FileDialogs::Current()
{
   static SystemFileDialogs production;
   return *InstalledOr( production );
}

// ---------------------------------------------------------------------------------------------------------------

QString FilePickExpectation::Describe() const
{
   return KindText( kind );
}

QString FilePickRecord::Describe() const
{
   return QStringLiteral( "%1 \"%2\" in \"%3\" [%4] -> %5" )
      .arg( KindText( request.kind ), request.caption, request.directory, request.filter,
            choice.names.isEmpty() ? QStringLiteral( "(cancelled)" ) : choice.names.join( QStringLiteral( ", " ) ) );
}

ScriptedFileDialogs& ScriptedFileDialogs::Expect( Kind kind, const QStringList& names, const QString& selectedFilter )
{
   return Expect( kind, [names, selectedFilter]( const Request& ) { return Choice{ names, selectedFilter }; } );
}

ScriptedFileDialogs& ScriptedFileDialogs::Expect( Kind kind, std::function<Choice( const Request& )> answer )
{
   AddExpectation( FilePickExpectation{ kind, std::move( answer ) } );
   return *this;
}

FileDialogs::Choice ScriptedFileDialogs::Pick( const Request& request, const QString& initialFilter )
{
   Record r;
   r.request = request;
   FilePickExpectation e;
   if ( !TakeFront( [&request]( const FilePickExpectation& front ) { return front.kind == request.kind; }, e ) )
   {
      RecordUnexpected( r );
      return Choice{};
   }
   r.choice = e.answer( request );
   if ( request.kind != Kind::OpenFiles && r.choice.names.size() > 1 )
      r.choice.names = QStringList{ r.choice.names.front() };
   if ( r.choice.selectedFilter.isEmpty() )
      r.choice.selectedFilter = initialFilter;
   RecordExpected( r );
   return r.choice;
}

QString KindText( FileDialogs::Kind kind )
{
   switch ( kind )
   {
   case FileDialogs::Kind::OpenFile: return QStringLiteral( "open file" );
   case FileDialogs::Kind::OpenFiles: return QStringLiteral( "open files" );
   case FileDialogs::Kind::SaveFile: return QStringLiteral( "save file" );
   case FileDialogs::Kind::Directory: return QStringLiteral( "choose folder" );
   }
   return QString();
}

} // namespace platform
