#ifndef LF_PROCESS_PREFERENCES_H
#define LF_PROCESS_PREFERENCES_H

// The global preferences: every user preference of the program in one plain value record, GlobalPreferences, and
// the one instance in force, CurrentPreferences.
//
// CurrentPreferences holds the factory defaults from program load, is filled from the settings store at start-up
// (LoadFromRegistry) and written back at exit (SaveToRegistry); the Preferences process replaces it as a whole.
// Every part of the program reads the fields it needs at the moment of use; nobody caches a copy.
//
// The record is also the parameter set of the Preferences process, so it has a binary stream form (Read/Write:
// little-endian, no header, the fields in declaration order; bool 1 byte, int/colour/float 4 bytes, string an
// int32 count and the bytes) and a text form (ToText).
//
// Strings are byte strings in the ANSI code page (Latin-1), as they are streamed: the default data separator is
// blank, middle dot (0xB7), blank. Colours are 0x00BBGGRR.
//
// Only the GUI thread touches CurrentPreferences.

#include <cstdint>
#include <functional>
#include <string>

#include "process/GlobalProcess.h"

namespace qor
{
class File;
}

namespace platform
{
class Registry;
}

struct MainWindowPreferences
{
   bool maximizeAtStartup = true;
   bool showSplashAtStartup = true;
   bool confirmProgramTermination = false;
   bool acceptDroppedFiles = true;
   bool doubleClickLaunchesOpenDialog = true;
   bool showStrictTIFFWarnings = false;
   bool beepOnProcessingCompletion = false;
   bool enableToolBarAutoDragDock = false;
   std::string dataSeparator = " \xB7 ";

   void Read( qor::File& file );
   void Write( qor::File& file ) const;
   bool operator==( const MainWindowPreferences& ) const = default;
};

struct ImageWindowPreferences
{
   bool backupFiles = false;
   bool defaultMasksShown = true;
   float defaultResolution = 72.0F;
   bool defaultMetricResolution = false;
   int32_t cursorTolerance = 3;
   std::string swapFilesDirectory;
   bool useSystemTEMPDirectory = true;
   bool showCaptionCurrentChannels = true;
   bool showCaptionZoomRatios = true;
   bool showCaptionIdentifiers = true;
   bool showCaptionFullPaths = true;

   void Read( qor::File& file );
   void Write( qor::File& file ) const;
   bool operator==( const ImageWindowPreferences& ) const = default;
};

struct IdentifiersPreferences
{
   std::string imagePrefix = "Image";
   std::string previewPrefix = "Preview";
   std::string processIconPrefix = "Process";
   std::string newImageCaption = "<*new*>";
   std::string clonePostfix = "_clone";
   std::string backgroundModelPostfix = "_background";
   std::string registeredImagePostfix = "_registered";
   std::string pixelMathDestinationPostfix = "_pixelMath";
   std::string integratedImageId = "integration";
   std::string rejectionMapId = "rejectionMap";

   void Read( qor::File& file );
   void Write( qor::File& file ) const;
   bool operator==( const IdentifiersPreferences& ) const = default;
};

struct ColorsFontsPreferences
{
   bool mainWindowBackgroundBrush = false;
   uint32_t mainWindowForegroundColor = 0x404040;
   uint32_t mainWindowBackgroundColor = 0x606060;
   uint32_t imageWindowBackgroundColor = 0x505050;
   std::string processIconFont = "Arial";
   int32_t processIconFontSize = 16;
   bool processIconAutoFontSize = true;
   uint32_t processIconColor = 0x808080;
   uint32_t processIconSelectedColor = 0xF0CAA6;
   uint32_t processIconTextColor = 0xFFFFFF;
   uint32_t processIconSelectedTextColor = 0x000000;
   std::string viewTabFont = "Arial";
   int32_t viewTabFontSize = 16;
   bool viewTabAutoFontSize = true;
   uint32_t viewTabColor = 0xE0E0E0;
   uint32_t selectedViewTabColor = 0x505050;
   uint32_t viewTabTextColor = 0x000000;
   uint32_t selectedViewTabTextColor = 0xFFFFFF;
   std::string previewTitleFont = "Arial";
   int32_t previewTitleFontSize = 16;
   bool previewTitleAutoFontSize = true;
   uint32_t previewColor = 0xFFFFFF;
   uint32_t selectedPreviewColor = 0x008000;
   uint32_t dbeSampleColor = 0xFFFFFF;
   uint32_t dbeSelectedSampleColor = 0x0000FF;
   uint32_t daPointColor = 0xFFFFFF;
   uint32_t daSelectedPointColor = 0x0000FF;

   void Read( qor::File& file );
   void Write( qor::File& file ) const;
   bool operator==( const ColorsFontsPreferences& ) const = default;
};

// Defaults of an interactive background-extraction edit.
struct DBEDefaults
{
   bool tracking = true;
   int32_t radius = 10;
   int32_t axialCount = 6; // streamed, never stored in the settings
   float tolerance = 0.1F;
   float smoothing = 0.025F;
   int32_t subSample = 2;

   void Read( qor::File& file );
   void Write( qor::File& file ) const;
   bool operator==( const DBEDefaults& ) const = default;
};

struct DADefaults
{
   bool tracking = true;
   int32_t radius = 12;
   float tolerance = 0.5F;

   void Read( qor::File& file );
   void Write( qor::File& file ) const;
   bool operator==( const DADefaults& ) const = default;
};

struct GlobalPreferences
{
   MainWindowPreferences mainWindow;
   ImageWindowPreferences imageWindow;
   IdentifiersPreferences identifiers;
   ColorsFontsPreferences colorsFonts;
   DBEDefaults dbeDefaults;
   DADefaults daDefaults;

   // The binary stream form. The version is the Preferences process's and changes nothing. A string count that is
   // negative or reaches beyond the end of the file is refused with the file's error before anything is read
   // into a string; the record is then left partly read, so callers read into a scratch record.
   void Read( qor::File& file, float version );
   void Write( qor::File& file, float version ) const;

   // The text form: five sections (no daDefaults), one "name=value" item per line; "..." for a negative level.
   std::string ToText( int level ) const;

   // Reads what the settings store holds under "<application key>\Preferences" into the record; a missing value
   // leaves its field as it was, and without the key nothing changes. Writes every value back. Both report any
   // failure themselves in a warning box and return normally; what was read or written before it stays.
   // A stored string longer than MaxRegistryStringLength or outside the ANSI code page, and a size or count
   // outside the range it can have, is refused as corrupt: the load stops there with a box naming the value.
   void LoadFromRegistry();
   void SaveToRegistry() const;
   // The same on a given store (tests; the two above use the program's settings file).
   void LoadFromRegistry( platform::Registry& registry );
   void SaveToRegistry( platform::Registry& registry ) const;

   bool operator==( const GlobalPreferences& ) const = default;

   static constexpr int32_t MaxRegistryStringLength = 4096;
   // Largest pixel size (cursor tolerance, font heights, sample radii) and sub-sampling accepted from the store.
   static constexpr int32_t MaxRegistrySize = 4096;
};

// The preferences in force.
extern GlobalPreferences CurrentPreferences;

// Has whatever shows the preferences (the main window, the image windows) apply the ones in force: the windows
// install it at start-up; until then nothing shows them.
void SetPreferencesApplier( std::function<void()> apply );

// The global process whose parameters are a whole preferences record: a run makes the record the preferences in
// force and has the main window and every image window apply them. A set of preferences so travels as an icon, in
// icon set files and containers like any process. There is no undo; nothing is written to the settings store (the
// preferences reach it at exit).
class Preferences : public GlobalProcess
{
public:
   class Parameters : public Process::Parameters
   {
   public:
      Parameters() = default;
      explicit Parameters( const GlobalPreferences& record ) : preferences( record ) {}

      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      // The record's stream form; a failed read leaves the parameters as they were.
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      GlobalPreferences preferences;
   };

   // The factory defaults (not the preferences in force).
   Preferences();
   explicit Preferences( const GlobalPreferences& record );
   Preferences( const Preferences& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // CurrentPreferences takes every field of the record, then the main window and the image windows apply them.
   // No status task, no timing: the framework's global launch brackets it when it runs an icon.
   void ExecuteGlobal() override;

   Parameters& Values() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Values() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
