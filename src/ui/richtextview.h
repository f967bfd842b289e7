#pragma once
// The rich-text view used by the console log, the page assembly buffers and the help texts:
// a QTextEdit that keeps its exact plain text (CR LF included) beside what it displays, so the
// text written back to a file is the one that was set, byte for byte.

#include <QTextEdit>

namespace corvane {

class RichTextView : public QTextEdit {
    Q_OBJECT
public:
    explicit RichTextView(QWidget* parent = nullptr);

    // The whole content as plain text, exactly as set (line ends kept).
    QString text() const { return texte_; }
    void setText(const QString& texte);
    // Adds text at the end without redrawing what is already shown.
    void appendText(const QString& texte);
    // Shows stored rich text (HTML); text() is then the plain text with CR LF line ends.
    void setRichText(const QString& html);

    // Colours of the whole view: the background, and the text (also for later text).
    void setColours(const QColor& background, const QColor& text);
    // Caret at the end, nothing selected, scrolled into view.
    void caretALaFin();

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    static QString pourAffichage(QString texte);
    QString texte_;
};

} // namespace corvane
