#include "ui/richtextview.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace corvane {

RichTextView::RichTextView(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
}

QString RichTextView::pourAffichage(QString texte)
{
    // CR LF and lone CR show as one line end; the exact text stays in texte_. They break the
    // line inside its paragraph, and only a bare LF (the one that opens each log entry) starts
    // a new one: the document keeps a layout for every paragraph, so a log entry costs one
    // instead of four, and a long run's log view grows less than half as fast.
    texte.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    texte.replace(QLatin1Char('\r'), QChar::LineSeparator);
    return texte;
}

void RichTextView::setText(const QString& texte)
{
    texte_ = texte;
    const QColor couleur = textColor();
    setPlainText(pourAffichage(texte));
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    QTextCharFormat f;
    f.setForeground(couleur);
    all.mergeCharFormat(f);
    setTextColor(couleur);
}

void RichTextView::appendText(const QString& texte)
{
    texte_ += texte;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    QTextCharFormat f;
    f.setForeground(textColor());
    end.insertText(pourAffichage(texte), f);
}

void RichTextView::setRichText(const QString& html)
{
    setHtml(html);
    texte_ = toPlainText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    texte_.replace(QChar::LineSeparator, QLatin1Char('\n'));
    texte_.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

void RichTextView::setColours(const QColor& background, const QColor& text)
{
    QPalette p = palette();
    p.setColor(QPalette::Base, background);
    p.setColor(QPalette::Text, text);
    setPalette(p);
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    QTextCharFormat f;
    f.setForeground(text);
    all.mergeCharFormat(f);
    setTextColor(text);
}

void RichTextView::caretALaFin()
{
    QTextCursor c = textCursor();
    c.movePosition(QTextCursor::End);
    setTextCursor(c);
    ensureCursorVisible();
}

void RichTextView::mouseReleaseEvent(QMouseEvent* event)
{
    QTextEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit clicked();
    }
}

} // namespace corvane
