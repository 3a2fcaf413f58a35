// The drive, folder and file lists of a file dialog. Paths are the file system's bytes;
// names are shown decoded as the system's file names.
#include <fnmatch.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMouseEvent>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/qt/qt_controls.h"

namespace platform::qt {

namespace {

constexpr int PathRole = Qt::UserRole;  // an item's path or name, as bytes

QString shownName(const std::string& name) {
    return QFile::decodeName(QByteArray::fromStdString(name));
}

std::string itemBytes(const QListWidgetItem* item) {
    return item ? item->data(PathRole).toByteArray().toStdString() : std::string();
}

// The visible entries of `folder` that are folders (or files), sorted by name.
// Throws when the folder cannot be read.
std::vector<std::string> entries(const FileSystem& fs, const std::string& folder, bool folders) {
    auto names = fs.list(folder, folders ? FileKind::Folder : FileKind::File);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int c = shownName(a).compare(shownName(b), Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

// "*.txt;*.dat": any of the patterns, in any case as on Windows (LAPS.TXT from a memory
// card is a record file); "*.*" means every file, as the operator expects.
bool matches(const std::string& patterns, const std::string& name) {
    size_t from = 0;
    for (;;) {
        const size_t semi = patterns.find(';', from);
        std::string p = patterns.substr(from, semi == std::string::npos ? semi : semi - from);
        if (p == "*.*") p = "*";
        if (!p.empty() && ::fnmatch(p.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
        if (semi == std::string::npos) return false;
        from = semi + 1;
    }
}

}  // namespace

std::string normalFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    fs::path p(folder.empty() ? std::string(".") : folder);
    if (p.is_relative()) {
        std::error_code ec;
        p = fs::current_path(ec) / p;
    }
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// --- Drive list

DriveListControl::DriveListControl(QComboBox* w, const FileSystem& fs) : Control(w), w_(w) {
    w_->setEditable(false);
    for (const auto& place : fs.places())
        w_->addItem(shownName(place), QByteArray::fromStdString(place));
    connections_.push_back(QObject::connect(w_, &QComboBox::currentIndexChanged, [this] {
        if (!quiet_) raiseEvent(onChange);
    }));
}

std::string DriveListControl::drive() const {
    return w_->currentData().toByteArray().toStdString();
}

void DriveListControl::setDrive(const std::string& place) {
    if (place == drive()) return;
    const QByteArray key = QByteArray::fromStdString(place);
    int i = w_->findData(key);
    quiet_ = true;
    if (i < 0) {
        // Mounted since the list was filled: offer it too.
        w_->addItem(shownName(place), key);
        i = w_->count() - 1;
    }
    w_->setCurrentIndex(i);
    quiet_ = false;
    // The program changed it: its handler runs inside the program's own call, so that
    // an error raised there reaches the caller.
    if (onChange) onChange();
}

void ListWidget::focusInEvent(QFocusEvent* e) {
    QListWidget::focusInEvent(e);
    if (!QAccessible::isActive()) return;
    // After the list's own focus event, which follows this.
    QTimer::singleShot(0, this, [this] {
        if (!hasFocus() || currentRow() < 0) return;
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(currentRow());
        QAccessible::updateAccessibility(&focus);
    });
}

// --- Folder list

DirListControl::DirListControl(QListWidget* w, const FileSystem& fs) : Control(w), w_(w), fs_(fs) {
    w_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Double-click or Enter opens a folder, as in a classic folder list.
    connections_.push_back(
        QObject::connect(w_, &QListWidget::itemActivated, [this](QListWidgetItem* item) {
            const std::string folder = itemBytes(item);
            if (folder.empty()) return;
            try {
                if (!show(folder)) return;
            } catch (const RuntimeError&) {
                QApplication::beep();  // unreadable: stay where we are
                return;
            }
            raiseEvent(onChange);
        }));
}

bool DirListControl::show(const std::string& folder) {
    const std::string path = normalFolder(folder);
    const auto subfolders = entries(fs_, path, true);  // throws before anything changes

    quiet_ = true;
    w_->clear();
    const QIcon open = w_->style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = w_->style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [&](const std::string& full, const std::string& name, int depth, const QIcon& icon) {
        // Indented by blanks on screen; a screen reader hears the name and its level.
        auto* item = new QListWidgetItem(icon, QString(depth * 2, u' ') + shownName(name));
        item->setData(Qt::AccessibleTextRole, shownName(name));
        item->setData(Qt::AccessibleDescriptionRole, QStringLiteral("level %1").arg(depth + 1));
        item->setData(PathRole, QByteArray::fromStdString(full));
        w_->addItem(item);
    };
    // The folder's ancestors from its place (the volume it lives on, as the drive list
    // shows it) down, then the folder, then its subfolders: other places are reached
    // through the drive list.
    const std::string place = fs_.placeOf(path);
    add(place, place, 0, open);
    int depth = 0;
    size_t from = place.size() + (place == "/" ? 0 : 1);
    while (from < path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        add(path.substr(0, slash), path.substr(from, slash - from), ++depth, open);
        from = slash + 1;
    }
    const int current = w_->count() - 1;
    const std::string prefix = path == "/" ? path : path + "/";
    for (const auto& name : subfolders) add(prefix + name, name, depth + 1, closed);
    w_->setCurrentRow(current);
    quiet_ = false;

    const bool changed = path != path_;
    path_ = path;
    return changed;
}

void DirListControl::setPath(const std::string& folder) {
    if (show(folder) && onChange) onChange();
}

// --- File list

void FileListWidget::mousePressEvent(QMouseEvent* e) {
    pressing = true;
    pressSelected = false;
    QListWidget::mousePressEvent(e);
    pressing = false;
}

FileListControl::FileListControl(FileListWidget* w, const FileSystem& fs)
    : Control(w), w_(w), fs_(fs) {
    w_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Choosing a file by mouse or keys is a click; so is a click on the file already
    // chosen. Focus alone (which makes the first row current) is not.
    connections_.push_back(QObject::connect(w_, &QListWidget::itemSelectionChanged, [this] {
        if (quiet_ || w_->selectedItems().isEmpty()) return;
        if (w_->pressing) w_->pressSelected = true;
        raiseEvent(onClick);
    }));
    connections_.push_back(
        QObject::connect(w_, &QListWidget::itemClicked, [this](QListWidgetItem* item) {
            if (!w_->pressSelected && item->isSelected()) raiseEvent(onClick);
            w_->pressSelected = false;
        }));
}

void FileListControl::setPattern(const std::string& pattern) {
    pattern_ = pattern;
    if (!path_.empty()) refill(path_);
}

void FileListControl::setPath(const std::string& folder) {
    refill(normalFolder(folder));
}

void FileListControl::refill(const std::string& folder) {
    const auto files = entries(fs_, folder, false);
    quiet_ = true;
    w_->clear();
    for (const auto& name : files) {
        if (!matches(pattern_, name)) continue;
        auto* item = new QListWidgetItem(shownName(name));
        item->setData(PathRole, QByteArray::fromStdString(name));
        w_->addItem(item);
    }
    quiet_ = false;
    path_ = folder;
}

std::string FileListControl::fileName() const {
    const auto chosen = w_->selectedItems();
    return chosen.isEmpty() ? std::string() : itemBytes(chosen.front());
}

}  // namespace platform::qt
