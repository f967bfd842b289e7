#pragma once
// The debug window of the page assembly, read_file_txt: the fragment (short, top), the
// template (middle) and the assembled page (bottom) of the publication's last assembly, shown
// as they were read and written. It only shows: the publication builds the page with or
// without it.

#include <QPointer>
#include <QWidget>

namespace corvane {

class Publication;
class RichTextView;

class ReadFileTxtWindow : public QWidget {
    Q_OBJECT
public:
    // Shows publication's last assembly, the one made before the window too, and each one
    // after it. Laying out a large template costs far more than the assembly itself, so a
    // hidden window fills its boxes only when it is shown.
    explicit ReadFileTxtWindow(const Publication& publication, QWidget* parent = nullptr);

    RichTextView* RichTextBox1 = nullptr; // the template
    RichTextView* RichTextBox2 = nullptr; // the fragment
    RichTextView* RichTextBox3 = nullptr; // the page

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void traiteText();

    QPointer<const Publication> publication_;
    bool aAfficher_ = true;
};

} // namespace corvane
