#ifndef LF_WINDOWS_DIALOGS_ABOUT_DIALOG_H
#define LF_WINDOWS_DIALOGS_ABOUT_DIALOG_H

// The about box: the splash picture, the program's name and version, its web address, the people credited and the acknowledgements of
// the libraries used. Borderless and centred; the first click or key closes it (accepted). Links use the hand
// cursor, turn sky blue and underlined while pointed at, and open in the web browser when clicked.

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QWidget;
class TSplashFrame;

class TAboutDialog : public QDialog
{
   Q_OBJECT

public:
   explicit TAboutDialog( QWidget* owner = nullptr );

   void FormClick();
   // Makes a label a link to a web address.
   void MakeLink( QLabel* label, const QString& address );

   QWidget* About_Panel = nullptr;
   TSplashFrame* Splash_Frame = nullptr;
   QLabel* Version_Label = nullptr;
   QLabel* Special_Label = nullptr;
   QLabel* URL_Label = nullptr;
   QPlainTextEdit* Ack_Memo = nullptr;

   static constexpr const char* ProductAddress = "https://www.corvanta.com/lumenforge/";

protected:
   void mousePressEvent( QMouseEvent* event ) override;
   void keyPressEvent( QKeyEvent* event ) override;
   bool eventFilter( QObject* watched, QEvent* event ) override;
};

#endif
