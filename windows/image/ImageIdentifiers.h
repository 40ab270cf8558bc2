#ifndef LF_WINDOWS_IMAGE_IMAGE_IDENTIFIERS_H
#define LF_WINDOWS_IMAGE_IMAGE_IDENTIFIERS_H

// Identifiers of images (main views) and previews: defaults, uniqueness, look-ups and the expansion of the
// identifier macros "&imageId;" and "&uniqueId;" in templates.
//
// Image identifiers are unique among the main views of MainViewList, preview identifiers among the previews of one
// window; comparisons are exact. The errors of an expansion are thrown as ProcessRefusal texts for the caller to
// show. Templates are syntax-checked (ParseIdentifier) before they are expanded; a "&" that no later ";" closes is
// refused with the expansion's "Invalid macro-expression" error.
//
// The preview forms are members of TImageWindow (DefaultPreviewIdentifier, UniquePreviewIdentifier,
// FindPreviewByIdentifier, ExpandPreviewIdentifierMacros).

#include <string>

#include "windows/image/ImageWindow.h"

// The imagePrefix preference followed by ImageWindowCounter + 1 in two digits at least, made unique: Image01.
std::string DefaultImageIdentifier();
// The wish when no main view has it; else the wish followed by 1, 2, 3, ... (the first free one); an empty wish
// gives DefaultImageIdentifier().
std::string UniqueImageIdentifier( const std::string& wish );
// The first main view with that identifier; nullptr for an empty text or none.
TImageWindow::View* FindMainViewByIdentifier( const std::string& text );
// The first main view whose window's file path is exactly the path; nullptr when none.
TImageWindow::View* FindMainViewByFilePath( const std::string& path );
// Expands the macros of a template: "&imageId;" becomes the image identifier given; "&uniqueId;" makes a name that
// no image has (wantExisting false) or names an existing image (wantExisting true); other macros are dropped.
std::string ExpandIdentifierMacros( const std::string& templ, const std::string& imageId, bool wantExisting );

#endif
