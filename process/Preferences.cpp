#include "process/Preferences.h"

#include <QString>
#include <QWidget>

#include <cmath>
#include <concepts>
#include <cstdio>
#include <limits>
#include <type_traits>

#include "classlib/File.h"
#include "platform/Prompter.h"
#include "platform/Registry.h"
#include "process/ProcessWindows.h"
#include "support/ApplicationNames.h"
#include "support/FailureReport.h"
#include "support/RegistryReaders.h"
#include "support/Utils.h"

GlobalPreferences CurrentPreferences;

namespace
{

std::function<void()> preferencesApplier;

// ---------------------------------------------------------------------------------------------------------------
// One list of fields serves the stream, the text form and the settings store. For every field it gives the name
// of the text form, the name of the stored value and, for values read from the store, the range they may have.

struct IntRange
{
   int32_t minimum = std::numeric_limits<int32_t>::min();
   int32_t maximum = std::numeric_limits<int32_t>::max();
};

constexpr IntRange AnyInt{};
// Pixel sizes and radii: never negative, never absurd.
constexpr IntRange SizeRange{ 0, GlobalPreferences::MaxRegistrySize };
// Font heights: zero or less means "automatic height", so only the upper end is bounded.
constexpr IntRange FontSizeRange{ std::numeric_limits<int32_t>::min(), GlobalPreferences::MaxRegistrySize };
constexpr IntRange SubSampleRange{ 1, GlobalPreferences::MaxRegistrySize };

enum class FloatRule
{
   Finite,
   Positive
};

struct FloatFormat
{
   int decimals;
   FloatRule rule;
};

// Colours are their own type so that the text form can write them in hexadecimal.
struct Colour
{
};

template <class R, class V>
requires std::same_as<std::remove_const_t<R>, MainWindowPreferences>
void Walk( R& r, V& v )
{
   v.Bool( "maximizeAtStartup", "MaximizeAtStartup", r.maximizeAtStartup );
   v.Bool( "showSplashAtStartup", "ShowSplashAtStartup", r.showSplashAtStartup );
   v.Bool( "confirmProgramTermination", "ConfirmProgramTermination", r.confirmProgramTermination );
   v.Bool( "acceptDroppedFiles", "AcceptDroppedFiles", r.acceptDroppedFiles );
   v.Bool( "doubleClickLaunchesOpenDialog", "DoubleClickLaunchesOpenDialog", r.doubleClickLaunchesOpenDialog );
   v.Bool( "showStrictTIFFWarnings", "ShowStrictTIFFWarnings", r.showStrictTIFFWarnings );
   v.Bool( "beepOnProcessingCompletion", "BeepOnProcessingCompletion", r.beepOnProcessingCompletion );
   v.Bool( "enableToolBarAutoDragDock", "EnableToolBarAutoDragDock", r.enableToolBarAutoDragDock );
   v.String( "dataSeparator", "DataSeparator", r.dataSeparator );
}

template <class R, class V>
requires std::same_as<std::remove_const_t<R>, ImageWindowPreferences>
void Walk( R& r, V& v )
{
   v.Bool( "backupFiles", "BackupFiles", r.backupFiles );
   v.Bool( "defaultMasksShown", "DefaultMasksShown", r.defaultMasksShown );
   v.Float( "defaultResolution", "DefaultResolution", r.defaultResolution, FloatFormat{ 2, FloatRule::Positive } );
   v.Bool( "defaultMetricResolution", "DefaultMetricResolution", r.defaultMetricResolution );
   v.Int( "cursorTolerance", "CursorTolerance", r.cursorTolerance, SizeRange );
   v.String( "swapFilesDirectory", "SwapFilesDirectory", r.swapFilesDirectory );
   v.Bool( "useSystemTEMPDirectory", "UseSystemTEMPDirectory", r.useSystemTEMPDirectory );
   v.Bool( "showCaptionCurrentChannels", "ShowCaptionCurrentChannels", r.showCaptionCurrentChannels );
   v.Bool( "showCaptionZoomRatios", "ShowCaptionZoomRatios", r.showCaptionZoomRatios );
   v.Bool( "showCaptionIdentifiers", "ShowCaptionIdentifiers", r.showCaptionIdentifiers );
   v.Bool( "showCaptionFullPaths", "ShowCaptionFullPaths", r.showCaptionFullPaths );
}

template <class R, class V>
requires std::same_as<std::remove_const_t<R>, IdentifiersPreferences>
void Walk( R& r, V& v )
{
   v.String( "imagePrefix", "ImagePrefix", r.imagePrefix );
   v.String( "previewPrefix", "PreviewPrefix", r.previewPrefix );
   v.String( "processIconPrefix", "ProcessIconPrefix", r.processIconPrefix );
   v.String( "newImageCaption", "NewImageCaption", r.newImageCaption );
   v.String( "clonePostfix", "ClonePostfix", r.clonePostfix );
   v.String( "backgroundModelPostfix", "BackgroundModelPostfix", r.backgroundModelPostfix );
   v.String( "registeredImagePostfix", "RegisteredImagePostfix", r.registeredImagePostfix );
   v.String( "pixelMathDestinationPostfix", "PixelMathDestinationPostfix", r.pixelMathDestinationPostfix );
   v.String( "integratedImageId", "IntegratedImageId", r.integratedImageId );
   v.String( "rejectionMapId", "RejectionMapId", r.rejectionMapId );
}

template <class R, class V>
requires std::same_as<std::remove_const_t<R>, ColorsFontsPreferences>
void Walk( R& r, V& v )
{
   v.Bool( "mainWindowBackgroundBrush", "MainWindowBackgroundBrush", r.mainWindowBackgroundBrush );
   v.Colour( "mainWindowForegroundColor", "MainWindowForegroundColor", r.mainWindowForegroundColor );
   v.Colour( "mainWindowBackgroundColor", "MainWindowBackgroundColor", r.mainWindowBackgroundColor );
   v.Colour( "imageWindowBackgroundColor", "ImageWindowBackgroundColor", r.imageWindowBackgroundColor );
   v.String( "processIconFont", "ProcessIconFont", r.processIconFont );
   v.Int( "processIconFontSize", "ProcessIconFontSize", r.processIconFontSize, FontSizeRange );
   v.Bool( "processIconAutoFontSize", "ProcessIconAutoFontSize", r.processIconAutoFontSize );
   v.Colour( "processIconColor", "ProcessIconColor", r.processIconColor );
   v.Colour( "processIconSelectedColor", "ProcessIconSelectedColor", r.processIconSelectedColor );
   v.Colour( "processIconTextColor", "ProcessIconTextColor", r.processIconTextColor );
   v.Colour( "processIconSelectedTextColor", "ProcessIconSelectedTextColor", r.processIconSelectedTextColor );
   v.String( "viewTabFont", "ViewTabFont", r.viewTabFont );
   v.Int( "viewTabFontSize", "ViewTabFontSize", r.viewTabFontSize, FontSizeRange );
   v.Bool( "viewTabAutoFontSize", "ViewTabAutoFontSize", r.viewTabAutoFontSize );
   v.Colour( "viewTabColor", "ViewTabColor", r.viewTabColor );
   v.Colour( "selectedViewTabColor", "SelectedViewTabColor", r.selectedViewTabColor );
   v.Colour( "viewTabTextColor", "ViewTabTextColor", r.viewTabTextColor );
   v.Colour( "selectedViewTabTextColor", "SelectedViewTabTextColor", r.selectedViewTabTextColor );
   v.String( "previewTitleFont", "PreviewTitleFont", r.previewTitleFont );
   v.Int( "previewTitleFontSize", "PreviewTitleFontSize", r.previewTitleFontSize, FontSizeRange );
   v.Bool( "previewTitleAutoFontSize", "PreviewTitleAutoFontSize", r.previewTitleAutoFontSize );
   v.Colour( "previewColor", "PreviewColor", r.previewColor );
   v.Colour( "selectedPreviewColor", "SelectedPreviewColor", r.selectedPreviewColor );
   v.Colour( "dbeSampleColor", "DBESampleColor", r.dbeSampleColor );
   v.Colour( "dbeSelectedSampleColor", "DBESelectedSampleColor", r.dbeSelectedSampleColor );
   v.Colour( "daPointColor", "DAPointColor", r.daPointColor );
   v.Colour( "daSelectedPointColor", "DASelectedPointColor", r.daSelectedPointColor );
}

template <class R, class V>
requires std::same_as<std::remove_const_t<R>, DBEDefaults>
void Walk( R& r, V& v )
{
   v.Bool( "tracking", "DBETracking", r.tracking );
   v.Int( "radius", "DBERadius", r.radius, SizeRange );
   v.Int( "axialCount", nullptr, r.axialCount, AnyInt ); // no stored value: every run starts with the default
   v.Float( "tolerance", "DBETolerance", r.tolerance, FloatFormat{ 3, FloatRule::Finite } );
   v.Float( "smoothing", "DBESmoothing", r.smoothing, FloatFormat{ 3, FloatRule::Finite } );
   v.Int( "subSample", "DBESubSample", r.subSample, SubSampleRange );
}

template <class R, class V>
requires std::same_as<std::remove_const_t<R>, DADefaults>
void Walk( R& r, V& v )
{
   v.Bool( "tracking", "DATracking", r.tracking );
   v.Int( "radius", "DARadius", r.radius, SizeRange );
   v.Float( "tolerance", "DATolerance", r.tolerance, FloatFormat{ 3, FloatRule::Finite } );
}

// ---------------------------------------------------------------------------------------------------------------
// Stream

class StreamReader
{
public:
   explicit StreamReader( qor::File& file ) : file( file ) {}

   void Bool( const char*, const char*, bool& value ) { value = file.ReadValue<uint8_t>() != 0; }
   void Int( const char*, const char*, int32_t& value, IntRange ) { file.ReadValue( value ); }
   void Colour( const char*, const char*, uint32_t& value ) { file.ReadValue( value ); }
   void Float( const char*, const char*, float& value, FloatFormat ) { file.ReadValue( value ); }
   void String( const char*, const char*, std::string& value )
   {
      // qor::File::ReadString refuses a negative count and one beyond the end of the file before it allocates.
      int32_t count = file.ReadValue<int32_t>();
      value = file.ReadString( count );
   }

private:
   qor::File& file;
};

class StreamWriter
{
public:
   explicit StreamWriter( qor::File& file ) : file( file ) {}

   void Bool( const char*, const char*, bool value ) { file.WriteValue<uint8_t>( value ? 1 : 0 ); }
   void Int( const char*, const char*, int32_t value, IntRange ) { file.WriteValue( value ); }
   void Colour( const char*, const char*, uint32_t value ) { file.WriteValue( value ); }
   void Float( const char*, const char*, float value, FloatFormat ) { file.WriteValue( value ); }
   void String( const char*, const char*, const std::string& value )
   {
      file.WriteValue( static_cast<int32_t>( value.size() ) );
      file.WriteString( value );
   }

private:
   qor::File& file;
};

template <class R> void ReadFields( R& record, qor::File& file )
{
   StreamReader v( file );
   Walk( record, v );
}

template <class R> void WriteFields( const R& record, qor::File& file )
{
   StreamWriter v( file );
   Walk( record, v );
}

// ---------------------------------------------------------------------------------------------------------------
// Text form

class TextWriter
{
public:
   void Bool( const char* name, const char*, bool value ) { Item( name, value ? "true" : "false" ); }
   void Int( const char* name, const char*, int32_t value, IntRange ) { Item( name, FormatInteger( value ) ); }
   void Colour( const char* name, const char*, uint32_t value )
   {
      char hex[16];
      std::snprintf( hex, sizeof hex, "0x%X", static_cast<unsigned>( value ) );
      Item( name, hex );
   }
   // With a point before the decimals whatever the user's locale, as every number the program writes.
   void Float( const char* name, const char*, float value, FloatFormat format )
   {
      Item( name, FormatReal( static_cast<double>( value ), format.decimals ) );
   }
   void String( const char* name, const char*, const std::string& value ) { Item( name, '"' + value + '"' ); }

   template <class R> void Section( const char* name, const R& record )
   {
      if ( !text.empty() )
         text += ",\n";
      text += name;
      text += "={\n";
      first = true;
      Walk( record, *this );
      text += "\n}";
   }

   const std::string& Text() const { return text; }

private:
   void Item( const char* name, const std::string& value )
   {
      if ( !first )
         text += ",\n";
      first = false;
      text += name;
      text += '=';
      text += value;
   }

   std::string text;
   bool first = true;
};

// ---------------------------------------------------------------------------------------------------------------
// Settings store

// A text raised by the load or save: shown under the application title (nothing for an empty text).
struct RaisedText
{
   QString text;
};

const char* const PreferencesSubkeys[] = { "\\Main Window",  "\\Image Window", "\\Identifiers",
                                           "\\Colors-Fonts", "\\DBE",          "\\DA" };

QString PreferencesKey()
{
   return ApplicationRegistryKey() + "\\Preferences";
}

class RegistryLoader
{
public:
   explicit RegistryLoader( const platform::Registry& registry ) : registry( registry ) {}

   void Bool( const char*, const char* name, bool& value ) { ReadRegistryBool( value, registry, name ); }
   void Colour( const char*, const char* name, uint32_t& value ) { ReadRegistryUnsigned( value, registry, name ); }

   void Int( const char*, const char* name, int32_t& value, IntRange range )
   {
      if ( name == nullptr )
         return;
      int32_t stored = 0;
      if ( !ReadRegistryInt( stored, registry, name ) )
         return;
      if ( stored < range.minimum || stored > range.maximum )
         Refuse( name );
      value = stored;
   }

   void Float( const char*, const char* name, float& value, FloatFormat format )
   {
      float stored = 0;
      if ( !ReadRegistryFloat( stored, registry, name ) )
         return;
      if ( !std::isfinite( stored ) || ( format.rule == FloatRule::Positive && !( stored > 0 ) ) )
         Refuse( name );
      value = stored;
   }

   void String( const char*, const char* name, std::string& value )
   {
      QString stored;
      if ( !ReadRegistryString( stored, registry, name ) )
         return;
      // The record holds ANSI bytes: a text that has no such form, or one of absurd length, is not a preference.
      if ( stored.size() > GlobalPreferences::MaxRegistryStringLength )
         Refuse( name );
      for ( QChar c : stored )
         if ( c.unicode() > 0xFF )
            Refuse( name );
      value = stored.toLatin1().toStdString();
   }

private:
   [[noreturn]] void Refuse( const char* name ) const
   {
      throw RaisedText{ QString( "Invalid preferences registry value: %1\nin key: %2\nThe value and those after it "
                                 "have been ignored." )
                            .arg( name, registry.CurrentPath() ) };
   }

   const platform::Registry& registry;
};

class RegistrySaver
{
public:
   explicit RegistrySaver( platform::Registry& registry ) : registry( registry ) {}

   void Bool( const char*, const char* name, bool value ) { registry.WriteBool( name, value ); }
   void Colour( const char*, const char* name, uint32_t value )
   {
      registry.WriteInteger( name, static_cast<int32_t>( value ) );
   }
   void Int( const char*, const char* name, int32_t value, IntRange )
   {
      if ( name != nullptr )
         registry.WriteInteger( name, value );
   }
   void Float( const char*, const char* name, float value, FloatFormat )
   {
      registry.WriteFloat( name, static_cast<double>( value ) );
   }
   void String( const char*, const char* name, const std::string& value )
   {
      registry.WriteString( name, QString::fromLatin1( value.data(), static_cast<qsizetype>( value.size() ) ) );
   }

private:
   platform::Registry& registry;
};

// Opens (creating it when missing) a subkey of the preferences key.
void OpenSubkey( platform::Registry& registry, const char* subkey )
{
   if ( !registry.OpenKey( PreferencesKey() + subkey, true ) )
      throw RaisedText{ "Error opening preferences registry key" };
}

// Visits the six sub-records, each after its subkey has been opened (created when missing).
template <class P, class V> void WalkSubkeys( P& p, V& v, platform::Registry& registry )
{
   OpenSubkey( registry, PreferencesSubkeys[0] );
   Walk( p.mainWindow, v );
   OpenSubkey( registry, PreferencesSubkeys[1] );
   Walk( p.imageWindow, v );
   OpenSubkey( registry, PreferencesSubkeys[2] );
   Walk( p.identifiers, v );
   OpenSubkey( registry, PreferencesSubkeys[3] );
   Walk( p.colorsFonts, v );
   OpenSubkey( registry, PreferencesSubkeys[4] );
   Walk( p.dbeDefaults, v );
   OpenSubkey( registry, PreferencesSubkeys[5] );
   Walk( p.daDefaults, v );
}

void ShowFailure( const QString& caption, const QString& text )
{
   if ( !text.isEmpty() )
      platform::ShowMessage( platform::Icon::Warning, caption, text );
}

// Runs a load or save and reports what it raises.
template <class Work> void Guarded( Work work, int line )
{
   try
   {
      work();
   }
   catch ( const RaisedText& raised )
   {
      ShowFailure( ApplicationTitle(), raised.text );
   }
   catch ( const platform::RegistryException& x )
   {
      // The store's own errors (a value of another type, a file that cannot be written) are the toolkit's.
      ShowFailure( ApplicationTitle(), QString::fromStdString( x.Message() ) );
   }
   catch ( ... )
   {
      // Exhausted memory here is no user's doing: it is reported as unexpected, as any failure of our own.
      ReportCaughtFailure( "process/Preferences", line, OutOfMemoryReport::Unexpected );
   }
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

void MainWindowPreferences::Read( qor::File& file )
{
   ReadFields( *this, file );
}

void MainWindowPreferences::Write( qor::File& file ) const
{
   WriteFields( *this, file );
}

void ImageWindowPreferences::Read( qor::File& file )
{
   ReadFields( *this, file );
}

void ImageWindowPreferences::Write( qor::File& file ) const
{
   WriteFields( *this, file );
}

void IdentifiersPreferences::Read( qor::File& file )
{
   ReadFields( *this, file );
}

void IdentifiersPreferences::Write( qor::File& file ) const
{
   WriteFields( *this, file );
}

void ColorsFontsPreferences::Read( qor::File& file )
{
   ReadFields( *this, file );
}

void ColorsFontsPreferences::Write( qor::File& file ) const
{
   WriteFields( *this, file );
}

void DBEDefaults::Read( qor::File& file )
{
   ReadFields( *this, file );
}

void DBEDefaults::Write( qor::File& file ) const
{
   WriteFields( *this, file );
}

void DADefaults::Read( qor::File& file )
{
   ReadFields( *this, file );
}

void DADefaults::Write( qor::File& file ) const
{
   WriteFields( *this, file );
}

void GlobalPreferences::Read( qor::File& file, float /*version*/ )
{
   mainWindow.Read( file );
   imageWindow.Read( file );
   identifiers.Read( file );
   colorsFonts.Read( file );
   dbeDefaults.Read( file );
   daDefaults.Read( file );
}

void GlobalPreferences::Write( qor::File& file, float /*version*/ ) const
{
   mainWindow.Write( file );
   imageWindow.Write( file );
   identifiers.Write( file );
   colorsFonts.Write( file );
   dbeDefaults.Write( file );
   daDefaults.Write( file );
}

std::string GlobalPreferences::ToText( int level ) const
{
   if ( level < 0 )
      return "...";
   TextWriter t;
   t.Section( "mainWindow", mainWindow );
   t.Section( "imageWindow", imageWindow );
   t.Section( "identifiers", identifiers );
   t.Section( "colorsFonts", colorsFonts );
   t.Section( "dbeDefaults", dbeDefaults );
   return t.Text();
}

void GlobalPreferences::LoadFromRegistry()
{
   Guarded(
       [this]
       {
          platform::Registry registry;
          LoadFromRegistry( registry );
       },
       __LINE__ );
}

void GlobalPreferences::SaveToRegistry() const
{
   Guarded(
       [this]
       {
          platform::Registry registry;
          SaveToRegistry( registry );
       },
       __LINE__ );
}

void GlobalPreferences::LoadFromRegistry( platform::Registry& registry )
{
   Guarded(
       [&]
       {
          // First run: no preferences yet, nothing to read and nothing to create.
          if ( !registry.OpenKey( PreferencesKey(), false ) )
             return;
          RegistryLoader loader( registry );
          WalkSubkeys( *this, loader, registry );
          registry.CloseKey();
       },
       __LINE__ );
}

void GlobalPreferences::SaveToRegistry( platform::Registry& registry ) const
{
   Guarded(
       [&]
       {
          if ( !registry.OpenKey( PreferencesKey(), true ) )
             throw RaisedText{ "Unable to create Preferences registry key" };
          RegistrySaver saver( registry );
          WalkSubkeys( *this, saver, registry );
          // Writes reach the file here; a file that cannot be written is reported like any other failure.
          registry.CloseKey();
       },
       __LINE__ );
}

// ---- The Preferences process ----------------------------------------------------------------------------------------

std::unique_ptr<Process::Parameters> Preferences::Parameters::Clone() const
{
   return std::make_unique<Parameters>( preferences );
}

void Preferences::Parameters::Assign( const Process::Parameters& source )
{
   preferences = dynamic_cast<const Parameters&>( source ).preferences;
}

void Preferences::Parameters::Read( qor::File& file, float version )
{
   GlobalPreferences read;
   read.Read( file, version );
   preferences = read;
}

void Preferences::Parameters::Write( qor::File& file, float version ) const
{
   preferences.Write( file, version );
}

std::string Preferences::Parameters::ToText( int32_t level ) const
{
   return preferences.ToText( level );
}

Preferences::Preferences()
{
   parameters = std::make_unique<Parameters>();
}

Preferences::Preferences( const GlobalPreferences& record )
{
   parameters = std::make_unique<Parameters>( record );
}

Preferences::Preferences( const Preferences& source ) : GlobalProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> Preferences::Clone() const
{
   return std::make_unique<Preferences>( *this );
}

std::string Preferences::Id() const
{
   return "Preferences";
}

bool Preferences::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TPreferencesWindow" );
}

bool Preferences::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void Preferences::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      GlobalProcess::LaunchInterface();
}

void SetPreferencesApplier( std::function<void()> apply )
{
   preferencesApplier = std::move( apply );
}

void Preferences::ExecuteGlobal()
{
   CurrentPreferences = Values().preferences;
   if ( preferencesApplier )
      preferencesApplier();
}
