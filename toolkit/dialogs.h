#pragma once
// The file dialogs: the picture-open dialog with a preview panel, and the
// save dialog. Both run a non-native QFileDialog modally and keep their
// settings between runs like the platform's dialog components: a file name
// (full path), a filter in the "Name|patterns|Name|patterns" form and a
// 1-based filter index.
//
// Tests answer the dialogs without a person: with setDialogAnswerer() set,
// execute() calls the answerer instead of showing a dialog, passing what the
// dialog would show (DialogRequest) and taking the user's choice from the
// answer. The save dialog's overwrite question goes through the answerer as
// a request of its own kind.

#include <functional>

#include <QLabel>
#include <QObject>
#include <QStringList>
#include <QWidget>

#include "imaging/picture.h"

class QFileDialog;
class QToolButton;

namespace clipora {

// "画像|*.bmp;*.jpg|全部|*.*" -> {"画像 (*.bmp *.jpg)", "全部 (*)"}: one Qt
// name filter per name/patterns pair, the patterns separated by blanks, "*.*"
// (every file) as Qt's "*". The dialogs hide the parenthesised part, so the
// user sees the names as given.
QStringList qtNameFilters(const QString& filter);

struct DialogRequest {
    enum class Kind { Open, Save, OverwriteQuestion };
    Kind kind = Kind::Open;
    QString title;
    QString filter;          // as set, "Name|patterns|..." form
    QStringList nameFilters; // Qt form, see qtNameFilters
    int filterIndex = 1;     // 1-based
    QString fileName;        // preset full path (may be empty)
    QString path;            // OverwriteQuestion: the file asked about
    QString question;        // OverwriteQuestion: the question's text
};

struct DialogAnswer {
    bool accepted = false;  // OK / Yes
    QString fileName;       // the chosen path (Open, Save)
    int filterIndex = 0;    // the chosen filter, 1-based; 0 keeps the current one

    static DialogAnswer cancel() { return {}; }
    static DialogAnswer choose(const QString& path, int filterIndex = 0) { return {true, path, filterIndex}; }
    static DialogAnswer yes() { return {true, {}, 0}; }
};

using DialogAnswerer = std::function<DialogAnswer(const DialogRequest&)>;
// Sets the answerer (empty: the real dialogs); returns the previous one.
DialogAnswerer setDialogAnswerer(DialogAnswerer answerer);

// What both dialogs share.
class FileDialogBase : public QObject {
    Q_OBJECT
public:
    QString fileName() const { return fileName_; }
    void setFileName(const QString& path) { fileName_ = path; }
    QString filter() const { return filter_; }
    void setFilter(const QString& filter) { filter_ = filter; }
    int filterIndex() const { return filterIndex_; }
    void setFilterIndex(int index) { filterIndex_ = index; }
    QString title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }

    // Runs the dialog modally. On OK: true, fileName() is the chosen path as
    // the user gave it (absolute, no extension added) and filterIndex() the
    // chosen filter. On cancel: false, nothing changes.
    bool execute();

protected:
    FileDialogBase(DialogRequest::Kind kind, QWidget* parent);
    // Sets up the real dialog before it runs (filters, file, panels).
    virtual void prepare(QFileDialog& dialog);
    QWidget* parentWidget() const { return parent_; }

private:
    DialogRequest request() const;
    DialogRequest::Kind kind_;
    QWidget* parent_;
    QString fileName_;
    QString filter_;
    int filterIndex_ = 1;
    QString title_;
};

// The panel beside the open dialog's file list: the selected file decoded
// through the program's readers (readPictureFile), scaled down to fit, a
// label above it with the picture's size ("640 x 480"), or "画像:" when the
// file cannot be shown, and a button with the hint "プレビュー" that opens a
// larger preview window (enabled while a picture is shown).
class PicturePreviewPanel : public QWidget {
    Q_OBJECT
public:
    explicit PicturePreviewPanel(QWidget* parent = nullptr);

    // Shows the file (empty or a folder: nothing).
    void showFile(const QString& path);
    bool hasPicture() const { return hasPicture_; }
    QString sizeText() const;
    QToolButton* previewButton() const { return previewButton_; }
    // The picture the panel shows (the whole one, not the scaled view).
    const QImage& image() const { return image_; }

signals:
    // The larger preview window was opened (it is modal; the signal comes
    // as it is shown).
    void previewOpened(QWidget* window);

private:
    void openPreview();
    QLabel* sizeLabel_;
    QLabel* pictureLabel_;
    QToolButton* previewButton_;
    QImage image_;
    QString path_;
    bool hasPicture_ = false;
};

// OpenPictureDialog1: title "ファイルを開く", filter index 1; a name that does
// not exist may be chosen (loading it then fails with its own message).
class OpenPictureDialog : public FileDialogBase {
    Q_OBJECT
public:
    explicit OpenPictureDialog(QWidget* parent = nullptr);

protected:
    void prepare(QFileDialog& dialog) override;
};

// SaveDialog1: title "名前を付けて保存". With the overwrite question on (the
// default), choosing the name of an existing file asks "<path> は既に存在しま
// す。\n上書きしますか?" about the name exactly as typed, before any
// extension is forced by the caller; No returns to the dialog (with an
// answerer: the dialog counts as cancelled).
class SaveDialog : public FileDialogBase {
    Q_OBJECT
public:
    explicit SaveDialog(QWidget* parent = nullptr);

    bool overwritePrompt() const { return overwritePrompt_; }
    void setOverwritePrompt(bool on) { overwritePrompt_ = on; }

    static QString overwriteQuestion(const QString& path);

protected:
    void prepare(QFileDialog& dialog) override;

private:
    bool overwritePrompt_ = true;
};

}  // namespace clipora
