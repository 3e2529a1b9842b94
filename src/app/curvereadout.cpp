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
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFrameShape(QFrame::NoFrame);
    setPlaceholderText("No traced point has a closed curve yet.");
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
    if (s.kind == CurveSymmetry::None) return "no closed path";
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
    if (s.kind == CurveSymmetry::Circle)
        out += ", circle";
    else if (s.order <= 1)
        out += c.mirror ? ", no rotational symmetry, mirror" : ", no symmetry";
    else
        out += QString(", %1-fold rotational symmetry%2")
                   .arg(s.order)
                   .arg(c.mirror ? ", mirrors" : "");
    // A circle has no lobes to count.
    if (s.kind != CurveSymmetry::Circle)
        out += QString(", %1 %2").arg(c.lobes).arg(c.lobes == 1 ? "lobe" : "lobes");
    out +=
        QString(", length %1, thickness %2").arg(c.length, 0, 'f', 1).arg(c.thickness, 0, 'g', 2);
    return out;
}

QString CurveReadout::text(const Document* doc) {
    if (!doc) return {};
    // The selected sphere's points; with none traced there, every traced
    // point, named with its sphere. Points carry the numbers the " Points"
    // page lists (0 is the centre).
    const int slot = doc->selectedSphere ? doc->slotOf(doc->selectedSphere) : -1;
    const QString master =
        doc->timeMaster ? QString::fromStdString(doc->timeMaster->name) : QString();
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
