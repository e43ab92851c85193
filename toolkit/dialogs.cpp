#include "dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "handlers.h"
#include "imagecontrol.h"
#include "reader/picturereader.h"

namespace clipora {

namespace {

DialogAnswerer& answererSlot()
{
    static DialogAnswerer answerer;
    return answerer;
}

// The non-native dialog, with the save dialog's overwrite question asked in
// the program's language about the name exactly as typed.
class FileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    bool askOverwrite = false;

    void accept() override
    {
        if (askOverwrite) {
            const QStringList files = selectedFiles();
            if (!files.isEmpty()) {
                const QFileInfo info(files.first());
                if (info.exists() && !info.isDir()) {
                    const auto reply = QMessageBox::question(this, windowTitle(),
                                                             SaveDialog::overwriteQuestion(files.first()),
                                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
                    if (reply != QMessageBox::Yes)
                        return;
                }
            }
        }
        QFileDialog::accept();
    }
};

}  // namespace

QStringList qtNameFilters(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            // "*.*" means every file, with or without a dot, where such
            // filters come from; Qt's "*.*" wants a dot.
            if (pattern == QStringLiteral("*.*"))
                pattern = QStringLiteral("*");
        }
        result.append(parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return result;
}

DialogAnswerer setDialogAnswerer(DialogAnswerer answerer)
{
    DialogAnswerer previous = std::move(answererSlot());
    answererSlot() = std::move(answerer);
    return previous;
}

FileDialogBase::FileDialogBase(DialogRequest::Kind kind, QWidget* parent)
    : QObject(parent), kind_(kind), parent_(parent)
{
}

DialogRequest FileDialogBase::request() const
{
    DialogRequest request;
    request.kind = kind_;
    request.title = title_;
    request.filter = filter_;
    request.nameFilters = qtNameFilters(filter_);
    request.filterIndex = filterIndex_;
    request.fileName = fileName_;
    return request;
}

void FileDialogBase::prepare(QFileDialog& dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setWindowTitle(title_);
    dialog.setSizeGripEnabled(true);
    const QStringList filters = qtNameFilters(filter_);
    dialog.setNameFilters(filters);
    if (filterIndex_ >= 1 && filterIndex_ <= filters.size())
        dialog.selectNameFilter(filters[filterIndex_ - 1]);
    if (!fileName_.isEmpty()) {
        const QFileInfo info(fileName_);
        if (info.absoluteDir().exists())
            dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
}

bool FileDialogBase::execute()
{
    if (const DialogAnswerer& answerer = answererSlot()) {
        const DialogAnswer answer = answerer(request());
        if (!answer.accepted)
            return false;
        const QString chosen = QFileInfo(answer.fileName).absoluteFilePath();
        if (kind_ == DialogRequest::Kind::Save && static_cast<SaveDialog*>(this)->overwritePrompt()
            && QFileInfo(chosen).exists()) {
            DialogRequest question = request();
            question.kind = DialogRequest::Kind::OverwriteQuestion;
            question.path = chosen;
            question.question = SaveDialog::overwriteQuestion(chosen);
            if (!answerer(question).accepted)
                return false;
        }
        fileName_ = chosen;
        if (answer.filterIndex > 0)
            filterIndex_ = answer.filterIndex;
        return true;
    }

    FileDialog dialog(parent_);
    dialog.askOverwrite = kind_ == DialogRequest::Kind::Save && static_cast<SaveDialog*>(this)->overwritePrompt();
    prepare(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return false;
    fileName_ = QDir::toNativeSeparators(files.first());
    // The dialog reports the filter as shown: without its patterns.
    const QString selected = dialog.selectedNameFilter();
    const QStringList parts = filter_.split(u'|');
    const QStringList filters = dialog.nameFilters();
    for (qsizetype i = 0; i < filters.size(); ++i) {
        if (selected == filters[i] || (2 * i < parts.size() && selected == parts[2 * i].trimmed())) {
            filterIndex_ = static_cast<int>(i) + 1;
            break;
        }
    }
    return true;
}

// --- the preview panel -------------------------------------------------------

PicturePreviewPanel::PicturePreviewPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    sizeLabel_ = new QLabel(QStringLiteral("画像:"), this);
    previewButton_ = new QToolButton(this);
    previewButton_->setText(QStringLiteral("▣"));
    previewButton_->setToolTip(QStringLiteral("プレビュー"));
    previewButton_->setAccessibleName(QStringLiteral("プレビュー"));
    previewButton_->setEnabled(false);
    top->addWidget(sizeLabel_, 1);
    top->addWidget(previewButton_);
    layout->addLayout(top);
    pictureLabel_ = new QLabel(this);
    pictureLabel_->setFixedSize(160, 160);
    pictureLabel_->setAlignment(Qt::AlignCenter);
    pictureLabel_->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(pictureLabel_);
    layout->addStretch(1);
    connect(previewButton_, &QToolButton::clicked, this, guarded(this, &PicturePreviewPanel::openPreview));
}

QString PicturePreviewPanel::sizeText() const
{
    return sizeLabel_->text();
}

void PicturePreviewPanel::showFile(const QString& path)
{
    path_ = path;
    image_ = QImage();
    hasPicture_ = false;
    const QFileInfo info(path);
    if (!path.isEmpty() && info.isFile()) {
        try {
            image_ = toQImage(readPictureFile(QFile::encodeName(path).toStdString()));
            hasPicture_ = !image_.isNull();
        } catch (const std::exception&) {
            hasPicture_ = false;
        }
    }
    if (hasPicture_) {
        sizeLabel_->setText(QStringLiteral("%1 x %2").arg(image_.width()).arg(image_.height()));
        const QSize box = pictureLabel_->contentsRect().size();
        QImage shown = image_;
        if (shown.width() > box.width() || shown.height() > box.height())
            shown = shown.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        pictureLabel_->setPixmap(QPixmap::fromImage(shown));
    } else {
        sizeLabel_->setText(QStringLiteral("画像:"));
        pictureLabel_->clear();
    }
    previewButton_->setEnabled(hasPicture_);
}

void PicturePreviewPanel::openPreview()
{
    if (!hasPicture_)
        return;
    QDialog window(this);
    window.setWindowTitle(QStringLiteral("プレビュー"));
    auto* layout = new QVBoxLayout(&window);
    auto* scroll = new QScrollArea(&window);
    auto* label = new QLabel;
    QSize limit(1024, 768);
    if (const QScreen* screen = this->screen())
        limit = screen->availableSize() * 3 / 4;
    QImage shown = image_;
    if (shown.width() > limit.width() || shown.height() > limit.height())
        shown = shown.scaled(limit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    label->setPixmap(QPixmap::fromImage(shown));
    scroll->setWidget(label);
    scroll->setAlignment(Qt::AlignCenter);
    layout->addWidget(scroll);
    window.resize(shown.size() + QSize(40, 40));
    emit previewOpened(&window);
    window.exec();
}

// --- the two dialogs ---------------------------------------------------------

OpenPictureDialog::OpenPictureDialog(QWidget* parent) : FileDialogBase(DialogRequest::Kind::Open, parent)
{
    setTitle(QStringLiteral("ファイルを開く"));
}

void OpenPictureDialog::prepare(QFileDialog& dialog)
{
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    FileDialogBase::prepare(dialog);
    auto* panel = new PicturePreviewPanel(&dialog);
    panel->setObjectName(QStringLiteral("previewPanel"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(panel, 0, grid->columnCount(), grid->rowCount(), 1);
    connect(&dialog, &QFileDialog::currentChanged, panel, guarded(panel, &PicturePreviewPanel::showFile));
}

SaveDialog::SaveDialog(QWidget* parent) : FileDialogBase(DialogRequest::Kind::Save, parent)
{
    setTitle(QStringLiteral("名前を付けて保存"));
}

QString SaveDialog::overwriteQuestion(const QString& path)
{
    return QStringLiteral("%1 は既に存在します。\n上書きしますか?").arg(QDir::toNativeSeparators(path));
}

void SaveDialog::prepare(QFileDialog& dialog)
{
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    FileDialogBase::prepare(dialog);
}

}  // namespace clipora
