// The program's fonts and its images, decoded once at start from the PNGs compiled into it.
#pragma once

#include <cstddef>

typedef struct _GdkPixbuf GdkPixbuf;
typedef struct _GtkWidget GtkWidget;

enum FontNumber : int {
    ControlFont = 0,
    VerifyButtonFont = 1,
    DialogFont = 2,
    AboutTitleFont = 3,
    FontCount = 4
};
// Image numbers (2 is not used).
enum ImageNumber : int {
    LogoImage = 0,
    WebIcon = 1,
    InfoIcon = 3,
    QuestionIcon = 4,
    WarningIcon = 5,
    OpenIcon = 6,
    AboutIcon = 7,
    HelpIcon = 8,
    QuitIcon = 9,
    MatchMark = 10,    // a tick: the row matches the expected checksum
    MismatchMark = 11, // a cross: it does not
    FormMark = 12,     // "!": it does not, but the expected text holds it in another form
    ErrorIcon = 13,    // a cross on a red disc: a message about an error
    OtherFileMark = 14, // a page: it does not, and the expected text is another file's list line
    UseChecksumIcon = 15, // the expected field's action: keep only the checksum
    ImageCount = 16
};

// Applies font `font` (a FontNumber; -1 = the toolkit's) to a widget and, by inheritance, its children.
void applyFont(GtkWidget* widget, int font);
// The decoded image of an image number; null for an unknown number or one that failed to decode.
[[nodiscard]] GdkPixbuf* shellImage(int number);
// Decodes one PNG held in memory with libpng into 8-bit RGBA; null when it is not a usable PNG.
[[nodiscard]] GdkPixbuf* decodePng(const unsigned char* bytes, std::size_t size);

// The font table and the decoded images: made at start, released at exit.
void loadFontsAndImages();
void releaseFontsAndImages();
