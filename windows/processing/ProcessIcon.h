#ifndef LF_WINDOWS_PROCESSING_PROCESS_ICON_H
#define LF_WINDOWS_PROCESSING_PROCESS_ICON_H

// A process icon: a small labelled tile on the main window's desktop that holds one process instance under an
// identifier unique among the icons. The user drags it onto an image to run it, onto a processing window to load
// it, onto another icon to replace that icon's instance, or across the desktop to move it (with every selected
// icon); a double click opens the instance's interface, a right click the icon's pop-up menu.
//
// Every icon is listed in ProcessIcons (creation order; the list does not own them: the desktop does). Beside it
// the desktop's bookkeeping: ProcessIconCounter numbers default identifiers ("Process05") and returns to 0 when
// the last icon goes; ProcessIconSetModificationCount counts creations, renames and deletions since the set was
// last loaded or saved (moves do not count), and is 0 again once the last icon is gone.
//
// Icon places snap to a 4-pixel grid; the picture cell is 23 pixels square.

#include <QPoint>
#include <QSize>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "windows/processing/ProcessEnvelope.h"

class QLabel;

class TProcessIcon : public TProcessEnvelope
{
   Q_OBJECT

public:
   // owner: the desktop's viewport. instance may be nullptr only while the icon is being filled from a file;
   // an empty identifier gives UniqueProcessIconIdentifier(). The place is snapped to the grid.
   TProcessIcon( QWidget* owner, std::unique_ptr<Process> instance, const std::string& identifier, int32_t left,
                 int32_t top );
   ~TProcessIcon() override;

   Process* Instance() override;
   QPixmap CreateDragBitmap( int32_t& left, int32_t& top ) override;

   // Empty text: a unique default identifier. The text is taken as it is (checking is the caller's).
   void SetIdentifier( const std::string& text );
   // The instance replaced (the old one deleted); hint and picture follow.
   void SetInstance( std::unique_ptr<Process> newInstance );
   const std::string& Identifier() const { return identifier; }
   bool IsSelected() const { return selected; }

   void UpdateHint();
   void UpdateImage();
   // Font, colours and size from the preferences.
   void UpdateLayout();
   void Select();
   void Deselect();

   // Opens the instance's interface, or says that it has none.
   void LaunchInterface();
   // Runs the instance globally, or says that it cannot run so.
   void ExecuteGlobal();
   // Asks for a new identifier (unique among the icons) and takes it.
   void EditIdentifier();

   // The left mouse press arms a drag; any press selects (Shift adds or removes); the right button opens the
   // main window's icon menu.
   void IconMouseDown( QPoint point, Qt::MouseButton button, bool shift );

   std::unique_ptr<Process> instance;
   std::string identifier;
   QLabel* Image_Label = nullptr;
   QLabel* Identifier_Label = nullptr;
   bool selected = false;

protected:
   void mousePressEvent( QMouseEvent* event ) override;
   void mouseDoubleClickEvent( QMouseEvent* event ) override;
   void dragEnterEvent( QDragEnterEvent* event ) override;
   void dragMoveEvent( QDragMoveEvent* event ) override;
   void dropEvent( QDropEvent* event ) override;

private:
   // Whether a dragged envelope may be dropped here.
   bool AcceptsDrop( TProcessEnvelope* envelope );
};

constexpr int32_t ProcessIconCellSize = 23;
constexpr int32_t ProcessIconGridSize = 4;

extern std::vector<TProcessIcon*> ProcessIcons;
extern int32_t ProcessIconCounter;
extern int32_t ProcessIconSetModificationCount;
extern int32_t SelectedProcessIconCount;
// Cleared for the rest of the run by the replacement question's "Don't ask again".
extern bool AskBeforeProcessIconReplacement;

// coordinate / 4 * 4, truncating toward zero.
int32_t SnapToProcessIconGrid( int32_t coordinate );
TProcessIcon* FindProcessIcon( const std::string& identifier );
// The preferences' prefix followed by ProcessIconCounter + 1 ("%02d"), then 1, 2, 3, ... appended to it until no
// icon has it.
std::string UniqueProcessIconIdentifier();
// The identifiers of the icons on the desktop, taken once, for giving many new icons free identifiers (a set being
// loaded): each is found through a set of the names in use, and the suffixes already tried for an identifier are
// not tried again, so a set whose icons all share one identifier loads in linear time.
class ProcessIconIdentifiers
{
public:
   ProcessIconIdentifiers();

   // The identifier a new icon gets, from now on counted as in use: the given one when no icon has it, else the
   // first free one made by appending 1, 2, 3, ...; an empty one gives UniqueProcessIconIdentifier()'s.
   std::string Claim( const std::string& identifier );

private:
   std::unordered_set<std::string> used;
   std::unordered_map<std::string, int32_t> nextSuffix; // for each identifier claimed, the suffixes below are taken
};

// Accepts an identifier no icon has; else says "Process Icon identifier already in use: <identifier>".
bool ValidateProcessIconIdentifier( const std::string& identifier, std::string& message );
void UpdateProcessIconLayouts();
void DeselectAllProcessIcons();
// Every selected icon by (dx, dy), its new place snapped to the grid.
void MoveSelectedProcessIcons( int32_t dx, int32_t dy );

#endif
