// The curve read-out under the 3-D view: what each traced point's closed
// curve is, one line a point, numbered as the " Points" page numbers them.
// A read-only text box of fixed height: long read-outs scroll inside it,
// and a screen reader reads its text like any other text field.
#pragma once

#include <QPlainTextEdit>

class Document;
struct CurveInvariants;

class CurveReadout : public QPlainTextEdit {
    Q_OBJECT
  public:
    // Lines shown without scrolling.
    static constexpr int kVisibleLines = 6;

    explicit CurveReadout(QWidget* parent = nullptr);

    QSize sizeHint() const override;

    // Shows text, keeping the place scrolled to when it did not change.
    void showText(const QString& text);

    // The selected sphere's traced points, one a line ("Point 1: ..."); with
    // none traced there, every traced point named with its sphere
    // ("B, point 1: ..."). Empty when nothing is traced yet.
    static QString text(const Document* doc);
    // One curve in words for people: when it closes (in turns of the time
    // master timeMaster), the laps of its own sphere, its symmetry, lobes,
    // length (in unit, when given) and thickness to four significant
    // digits, and its knot by its common name.
    static QString describe(const CurveInvariants& c, const QString& timeMaster,
                            const QString& unit = {});
};
