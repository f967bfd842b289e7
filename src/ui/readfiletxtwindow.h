#pragma once
// The debug window of the page assembly, read_file_txt: the fragment (short, top), the
// template (middle) and the assembled page (bottom), shown as they were read and written.

#include "publish/assemblage.h"

#include <QWidget>

namespace corvane {

class RichTextView;

class ReadFileTxtWindow : public QWidget {
    Q_OBJECT
public:
    explicit ReadFileTxtWindow(QWidget* parent = nullptr);

    // Builds "date.php" from "date1.php" and "ip_actu" in the working directory and shows
    // the three texts. The page is the exact bytes of both files; the boxes only display.
    // Laying out a large template costs far more than the assembly itself, so a hidden window
    // fills its boxes only when it is shown.
    Assemblage traiteText();

    RichTextView* RichTextBox1 = nullptr; // the template
    RichTextView* RichTextBox2 = nullptr; // the fragment
    RichTextView* RichTextBox3 = nullptr; // the page

protected:
    void showEvent(QShowEvent* event) override;

private:
    void afficheTextes();

    Assemblage derniere_;
    bool aAfficher_ = false;
};

} // namespace corvane
