// The curve read-out: its words and its box.
#include "curvereadout.h"

#include <QFontMetrics>
#include <QHash>
#include <QRegularExpression>
#include <QScrollBar>
#include <cmath>

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

namespace {

QString significant(double v) {
    return QString::number(v, 'g', 4);
}

// A knot as people know it, the table's name beside it.
QString knotWords(const CurveInvariants& c) {
    if (!c.knotFound || c.knot.empty()) {
        const std::string text = knotText(c);
        return text.empty() ? QString()
                            : "knot not identified (" + QString::fromStdString(text) + ")";
    }
    if (c.knot == "unknot") return "not knotted";
    const QString name = QString::fromStdString(c.knot).section(" = ", 0, 0);
    static const QHash<QString, QString> common = {{"3_1", "trefoil knot"},
                                                   {"4_1", "figure-eight knot"},
                                                   {"5_1", "cinquefoil knot"},
                                                   {"5_2", "three-twist knot"},
                                                   {"6_1", "stevedore knot"}};
    if (auto it = common.find(name); it != common.end()) return QString("%1 (%2)").arg(*it, name);
    static const QRegularExpression torus("^T\\((\\d+),(\\d+)\\)$");
    if (const auto m = torus.match(name); m.hasMatch())
        return QString("(%1,%2) torus knot").arg(m.captured(1), m.captured(2));
    return "knot " + name;
}

// The axis only when it is not the z axis, which most curves turn about.
QString axisWords(const CurveSymmetry& s) {
    if (std::abs(s.axis.z) > 1 - 1e-9) return {};
    auto v = [](double x) { return significant(std::abs(x) < 5e-7 ? 0.0 : x); };
    return QString(" about the axis (%1, %2, %3)").arg(v(s.axis.x), v(s.axis.y), v(s.axis.z));
}

}  // namespace

QString CurveReadout::describe(const CurveInvariants& c, const QString& timeMaster,
                               const QString& unit) {
    const CurveSymmetry& s = c.symmetry;
    // A curve that does not close, or not within the turns worked out, in
    // the words of info.
    if (s.kind == CurveSymmetry::None || s.longerThanTurns)
        return QString::fromStdString(describeCurve(c));
    // When it closes in the sentence info says it with.
    const QString out = QString::fromStdString(closingText(c, timeMaster.toStdString()));
    // The facts info gives, in words for people: no "1-fold", four
    // significant digits, the knot's common name.
    QStringList shape;
    if (s.kind == CurveSymmetry::Circle)
        shape << "a circle" + axisWords(s);
    else
        shape << (s.order == 1
                      ? QString("no rotational symmetry")
                      : QString("%1-fold rotational symmetry").arg(s.order) + axisWords(s));
    if (s.kind != CurveSymmetry::Circle && c.mirror) shape << "mirror symmetric";
    if (c.measured) {
        if (c.lobes > 0)
            shape << QString("%1 %2").arg(c.lobes).arg(c.lobes == 1 ? "lobe" : "lobes");
        shape << "length " + significant(c.length) + (unit.isEmpty() ? "" : " (in " + unit + ")");
        if (c.cusp) {
            shape << "has a cusp";
        } else if (c.crosses) {
            shape << "crosses itself";
        } else {
            shape << "thickness " + significant(c.thickness);
            if (const QString knot = knotWords(c); !knot.isEmpty()) shape << knot;
        }
    }
    for (const CurveLink& l : c.links) {
        const QString other =
            QString("%1 point %2").arg(QString::fromStdString(l.sphere)).arg(l.point);
        if (!l.settled)
            shape << "linking number with " + other + " not determined";
        else if (l.number != 0)
            shape << QString("linking number %1 with %2").arg(l.number).arg(other);
    }
    return out + "; " + shape.join(", ");
}

QString CurveReadout::text(const Document* doc) {
    if (!doc) return {};
    // The selected sphere's points; with none traced there, every traced
    // point, named with its sphere. Points carry the numbers the " Points"
    // page lists (0 is the centre).
    const int slot = doc->selectedSphere ? doc->slotOf(doc->selectedSphere) : -1;
    const QString master =
        doc->timeMaster ? QString::fromStdString(doc->timeMaster->name) : QString();
    // Lengths are in the automaton's units: the root's radius when it is 1.
    QString unit = "units";
    if (doc->root && std::abs(doc->root->radius - 1) < 1e-12)
        unit = "radii of " + QString::fromStdString(doc->root->name);
    // Curves of an older revision are not this automaton's: until the
    // render thread has measured the newest, none are shown as current.
    if (doc->revision() > doc->curvesRevision()) return QString::fromUtf8("measuring\u2026");
    const std::vector<CurveInvariants> curves = doc->curves();
    QStringList own, all;
    for (const CurveInvariants& c : curves) {
        const QString text = describe(c, master, unit);
        if (c.slot == slot) own << QString("Point %1: %2").arg(c.point).arg(text);
        all << QString("%1, point %2: %3")
                   .arg(QString::fromStdString(c.sphere))
                   .arg(c.point)
                   .arg(text);
    }
    return (own.isEmpty() ? all : own).join('\n');
}
