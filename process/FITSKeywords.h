#ifndef LF_PROCESS_FITS_KEYWORDS_H
#define LF_PROCESS_FITS_KEYWORDS_H

// A set of user FITS header keywords (every card but the reserved ones the writer makes itself), the process that
// gives an image exactly that set, its module files (".lf-hkm") and its plain-text listing (".txt").
//
// Stream form of a set (the parameters in an instance stream and the body of a module), little-endian: int32 count
// of the keywords written, then per keyword its name, value and comment, each an int32 length n and n bytes. Writing
// skips reserved names; reading drops them (tested before trimming) and trims the three texts of the others. The
// count and every length are checked against what the file holds before anything is allocated, so a damaged file
// fails with the file's error instead of making the reader allocate what it claims.

#include <string>
#include <vector>

#include "formats/FITSHeaderKeyword.h"
#include "process/ImageProcess.h"
#include "process/Module.h"

using FITSKeywordList = std::vector<FITSHeaderKeyword>;

// Reads a set in stream form and appends its non-reserved keywords to the list (those read before a failure stay).
void ReadFITSKeywords( qor::File& file, FITSKeywordList& keywords );
// Writes the non-reserved keywords of the list in stream form.
void WriteFITSKeywords( qor::File& file, const FITSKeywordList& keywords );

// The plain-text listing of the non-reserved keywords: two comment lines naming the program, an empty line, then
// "NAME = value //comment" per keyword, CR LF line ends. Values and comments are written exactly as held (a value is
// in its FITS form, so a quote inside a string is the doubled quote of FITS): nothing is escaped or changed. A text
// with a line break would make a line that does not read back as it was: such a keyword is refused (a
// ToolkitError naming it) before anything is written. The file is replaced only when complete.
void ExportFITSKeywordsText( const std::string& path, const FITSKeywordList& keywords );
// The listing's text.
std::string FITSKeywordsText( const FITSKeywordList& keywords );

// The module kind of keyword set files, over a list that it does not own.
class FITSKeywordsModule : public Module
{
public:
   explicit FITSKeywordsModule( FITSKeywordList& keywords ) : keywords( keywords ) {}
   ~FITSKeywordsModule() override;

   static constexpr uint32_t TypeId = 0x5A5A739C;

   std::string Description() const override;
   uint32_t ModuleType() const override;
   // Appends what the file holds to the list.
   void ReadData() override;
   void WriteData() override;

private:
   FITSKeywordList& keywords;
};

// Replaces the user keywords of an image window by its set: the reserved ones stay in their order, the set follows.
class FITSKeywords : public ImageProcess
{
public:
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      // Copies the non-reserved keywords of the other set.
      void Assign( const Process::Parameters& source ) override;
      // Appends what the stream holds (reserved names dropped, texts trimmed).
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      // "keywords = {", the entries { "name", "value", "comment" } (or "count=N..." for a negative level), "}".
      std::string ToText( int32_t level ) const override;

      FITSKeywordList keywords;
   };

   FITSKeywords();
   FITSKeywords( const FITSKeywords& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   void DoExecuteOn( ProcessView& view ) override;
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;
   uint32_t UndoFlags( const ProcessView& view ) const override;

   Parameters& Values() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Values() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
