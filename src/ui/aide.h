#pragma once
// The help window "Aide": installation steps in French or English, and a colour-annotated
// sample of "Corvane.cfg" with its legend. Web words in the steps open in the browser.

#include <QDialog>

class QGroupBox;
class QLabel;

namespace corvane {

struct Parametres;
class LinkOpener;
class RichTextView;

class Aide : public QDialog {
    Q_OBJECT
public:
    // Reads and writes p.LangageInt; links open through links.
    Aide(Parametres& p, LinkOpener& links, QWidget* parent = nullptr);
    ~Aide() override;

    // Runs once, when the window is created: the legend and the language of the steps.
    void Form_Load();
    // The French picture, then the English one.
    void Image1_Click();
    void Image2_Click();

    QGroupBox* frame1() const { return Frame1; }
    RichTextView* rt1() const { return RT1; }
    QLabel* label2() const { return Label2; }
    RichTextView* rt2() const { return RT2; }
    RichTextView* rt2eng() const { return RT2eng; }
    QLabel* image1() const { return Image1; }
    QLabel* image2() const { return Image2; }
    QLabel* label3() const { return Label3; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void retraduit();
    void ajusteTailles();
    void montreEtapes(bool francais);

    Parametres& p_;
    QGroupBox* Frame1 = nullptr;
    RichTextView* RT1 = nullptr;
    QLabel* Label2 = nullptr;
    RichTextView* RT2 = nullptr;
    RichTextView* RT2eng = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label3 = nullptr;
};

// The nearest available sans-serif family to the one the layout was drawn with.
QString policeSansSerif();

} // namespace corvane
