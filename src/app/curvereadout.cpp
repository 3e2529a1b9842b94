// The curve read-out: its words and its box.
#include "curvereadout.h"

#include <QFontMetrics>
#include <QScrollBar>

#include "curveinvariants.h"
#include "document.h"
#include "rational.h"
#include "sphere.h"

CurveReadout::CurveReadout(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName("curveReadout");
    setAccessibleName("Curves of the selected sphere");
    setReadOnly(true);
    // Readable and selectable by keyboard, so that the text can be reached
    // with Tab and read line by line.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Long lines wrap: a cut line hides what matters at its end.
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setFrameShape(QFrame::NoFrame);
    // What to try first, until something is traced.
    setPlaceholderText(
        "No traced point has a closed curve yet. Try Help \u203a Examples..., CREATE a child of "
        "the selected sphere and give it a point on the Points page, or Play to see the "
        "spheres roll.");
}

QSize CurveReadout::sizeHint() const {
    // Room for kVisibleLines lines; more scroll.
    const int line = QFontMetrics(font()).lineSpacing();
    const int margin = static_cast<int>(document()->documentMargin());
    return {QPlainTextEdit::sizeHint().width(),
            kVisibleLines * line + 2 * margin + 2 * frameWidth()};
}

void CurveReadout::showText(const QString& text) {
    if (text == toPlainText()) return;
    const int scrolled = verticalScrollBar()->value();
    setPlainText(text);
    verticalScrollBar()->setValue(scrolled);
}

QString CurveReadout::describe(const CurveInvariants& c, const QString& timeMaster) {
    const CurveSymmetry& s = c.symmetry;
    // A curve that does not close, or not within the turns worked out, in
    // the words of info.
    if (s.kind == CurveSymmetry::None || s.longerThanTurns)
        return QString::fromStdString(describeCurve(c));
    const QString period = QString::fromStdString(toString(s.period));
    QString out = QString("closes after %1 %2 of %3")
                      .arg(period, s.period <= 1 ? "turn" : "turns",
                           timeMaster.isEmpty() ? QString("the time master") : timeMaster);
    // The laps of the point's own sphere around its parent; a negative count
    // is a sphere whose rolling rate is negative: it goes round the other way.
    const bool reversed = c.sphereLaps < 0;
    const BigRational laps = reversed ? BigRational(-c.sphereLaps) : c.sphereLaps;
    out += QString(" (%1 goes %2 %3 round its parent%4)")
               .arg(QString::fromStdString(c.sphere), QString::fromStdString(toString(laps)),
                    laps == 1 ? "time" : "times", reversed ? ", the other way" : "");
    // The shape in the same words as info, the JSON and Python: the axis,
    // "crosses itself" or "has a cusp" rather than a thickness of 0, the
    // knot and the links.
    return out + ", " + QString::fromStdString(curveShape(c));
}

QString CurveReadout::text(const Document* doc) {
    if (!doc) return {};
    // The selected sphere's points; with none traced there, every traced
    // point, named with its sphere. Points carry the numbers the " Points"
    // page lists (0 is the centre).
    const int slot = doc->selectedSphere ? doc->slotOf(doc->selectedSphere) : -1;
    const QString master =
        doc->timeMaster ? QString::fromStdString(doc->timeMaster->name) : QString();
    // Curves of an older revision are not this automaton's: until the
    // render thread has measured the newest, none are shown as current.
    if (doc->revision() > doc->curvesRevision()) return QString::fromUtf8("measuring\u2026");
    const std::vector<CurveInvariants> curves = doc->curves();
    QStringList own, all;
    for (const CurveInvariants& c : curves) {
        const QString text = describe(c, master);
        if (c.slot == slot) own << QString("Point %1: %2").arg(c.point).arg(text);
        all << QString("%1, point %2: %3")
                   .arg(QString::fromStdString(c.sphere))
                   .arg(c.point)
                   .arg(text);
    }
    return (own.isEmpty() ? all : own).join('\n');
}
