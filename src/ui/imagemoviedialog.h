// The "Set image size / movie frames" dialog: width of saved images and the
// number of frames a dynamic turn or an orbit takes.
#pragma once

#include <QDialog>

class QLineEdit;

class ImageMovieDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kMinFrames = 10, kMaxFrames = 1000;
    static constexpr int kMinWidth = 50, kMaxWidth = 1600;

    ImageMovieDialog(int imageWidth, int movieFrames, QWidget* parent = nullptr);

    // The values entered; meaningful once the dialog was accepted.
    int imageWidth() const { return width_; }
    int movieFrames() const { return frames_; }

    QLineEdit* widthEdit() const { return widthEdit_; }
    QLineEdit* framesEdit() const { return framesEdit_; }

    // Checks one entry against its range. Returns an empty string when the
    // text is an integer in [low, high], otherwise the message to show,
    // which names the field ("Width must be an integer between 50 and 1600.").
    static QString validate(const QString& field, const QString& text, int low, int high,
                            int* value);

  public slots:
    void accept() override;

  signals:
    // Emitted instead of showing a message box when the owner asked for it
    // (tests); the dialog stays open either way.
    void rejectedEntry(const QString& message);

  public:
    // When false, validation messages are only signalled, not shown.
    void setShowMessages(bool show) { showMessages_ = show; }

  private:
    bool check(const QString& field, QLineEdit* edit, int low, int high, int* value);

    QLineEdit* widthEdit_;
    QLineEdit* framesEdit_;
    int width_, frames_;
    bool showMessages_ = true;
};
