#ifndef LF_PLATFORM_FILE_DIALOGS_H
#define LF_PLATFORM_FILE_DIALOGS_H

// The one way the program asks the user for file and folder names.
//
// The static functions have the shape of QFileDialog's and answer through FileDialogs::Current(): QFileDialog in
// production, a ScriptedFileDialogs in tests (a queue of prepared answers, nothing blocks). An empty answer means
// the user cancelled.

#include <QString>
#include <QStringList>

#include <functional>

#include "platform/ServiceSlot.h"

class QWidget;

namespace platform
{

class FileDialogs : public ServiceSlot<FileDialogs>
{
public:
   enum class Kind
   {
      OpenFile,
      OpenFiles,
      SaveFile,
      Directory
   };

   // What a picker was asked with.
   struct Request
   {
      Kind kind = Kind::OpenFile;
      QWidget* parent = nullptr;
      QString caption;
      QString directory;
      QString filter;
   };

   // The user's choice: the names (one for every kind but OpenFiles; none when cancelled) and, for the kinds with
   // a filter, the filter chosen.
   struct Choice
   {
      QStringList names;
      QString selectedFilter;
   };

   virtual ~FileDialogs();
   virtual Choice Pick( const Request& request, const QString& initialFilter ) = 0;

   static QString getOpenFileName( QWidget* parent = nullptr, const QString& caption = QString(),
                                   const QString& dir = QString(), const QString& filter = QString(),
                                   QString* selectedFilter = nullptr );
   static QStringList getOpenFileNames( QWidget* parent = nullptr, const QString& caption = QString(),
                                        const QString& dir = QString(), const QString& filter = QString(),
                                        QString* selectedFilter = nullptr );
   static QString getSaveFileName( QWidget* parent = nullptr, const QString& caption = QString(),
                                   const QString& dir = QString(), const QString& filter = QString(),
                                   QString* selectedFilter = nullptr );
   static QString getExistingDirectory( QWidget* parent = nullptr, const QString& caption = QString(),
                                        const QString& dir = QString() );

   // The installed pickers (Install(), not owned), else the production ones.
   static FileDialogs& Current();
};

using FileDialogsScope = ServiceScope<FileDialogs>;

struct FilePickExpectation
{
   FileDialogs::Kind kind = FileDialogs::Kind::OpenFile;
   std::function<FileDialogs::Choice( const FileDialogs::Request& )> answer;

   QString Describe() const;
};

struct FilePickRecord
{
   FileDialogs::Request request;
   FileDialogs::Choice choice;
   bool expected = false;

   QString Describe() const;
};

// The scripted pickers for tests: expectations consumed in order, each for one kind of picker. A request of
// another kind, or one that comes when the queue is empty, is recorded as unexpected and answered as cancelled.
class ScriptedFileDialogs : public FileDialogs, public Script<FilePickExpectation, FilePickRecord>
{
public:
   using Record = FilePickRecord;

   // The user picks these names (an empty list: cancels). An empty selected filter keeps the caller's one.
   ScriptedFileDialogs& Expect( Kind kind, const QStringList& names, const QString& selectedFilter = QString() );
   // The user's answer is computed from the request (to check the caption or the filter, or to answer a path in
   // the folder the caller proposed).
   ScriptedFileDialogs& Expect( Kind kind, std::function<Choice( const Request& )> answer );
   ScriptedFileDialogs& ExpectCancel( Kind kind ) { return Expect( kind, QStringList() ); }

   Choice Pick( const Request& request, const QString& initialFilter ) override;

};

QString KindText( FileDialogs::Kind kind );

} // namespace platform

#endif
