#include "app/QtPorts.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QFontMetricsF>
#include <QTextEdit>
#include <QUrl>
#include <cstring>

#include "core/text/Text.h"

namespace quillbox::app {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

MessageAnswer QtDialogs::messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                    MessageButtons buttons) {
    QMessageBox box(owner_);
    box.setWindowTitle(q(title));
    box.setText(q(text));
    switch (icon) {
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    }
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

std::optional<std::string> QtDialogs::inputBox(const std::string& prompt, const std::string& initialText,
                                               const std::string& title) {
    QInputDialog dialog(owner_);
    dialog.setWindowTitle(title.empty() ? QStringLiteral("请输入") : q(title));
    dialog.setLabelText(q(prompt));
    dialog.setTextValue(q(initialText));
    dialog.setOkButtonText(QStringLiteral("确认"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue().toStdString();
}

QString qtNameFilter(const std::string& windowsFilter) {
    const QStringList parts = q(windowsFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        // The name usually repeats the pattern in parentheses; Qt reads the last ones.
        const int paren = name.indexOf(QLatin1Char('('));
        if (paren > 0)
            name = name.left(paren).trimmed();
        filters << QStringLiteral("%1 (%2)").arg(name, patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

std::string QtDialogs::saveFileDialog(const SaveFileRequest& request) {
    QFileDialog dialog(owner_, q(request.title), q(request.initialDirectory), qtNameFilter(request.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QString suffix = q(request.defaultExtension);
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdString();
}

QFont outputFont(bool bold, bool italic) {
    QFont font;
    font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("sans-serif")});
    font.setPointSize(9);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

namespace {

const QColor kMarker(54, 124, 231);

void appendRun(QTextCursor& cursor, const QString& text, const QColor& colour, bool bold, bool italic = false) {
    QTextCharFormat format;
    format.setFont(outputFont(bold, italic));
    format.setForeground(colour);
    cursor.insertText(text, format);
}

// Starts a line: a line break when the box holds text, then the marker ">>".
QTextCursor startLine(QTextEdit* box, const QColor& markerColour) {
    QTextCursor cursor(box->document());
    cursor.movePosition(QTextCursor::End);
    // A new line starts at the margin, whatever the line before it was indented by.
    if (!box->document()->isEmpty())
        cursor.insertBlock(QTextBlockFormat());
    appendRun(cursor, QStringLiteral(">>"), markerColour, true);
    return cursor;
}

void scrollToEnd(QTextEdit* box) {
    if (QScrollBar* bar = box->verticalScrollBar())
        bar->setValue(bar->maximum());
}

void writeConsole(QTextEdit* box, const std::string& type, const std::string& message, bool error) {
    const QColor red(255, 0, 0);
    QTextCursor cursor = startLine(box, error ? red : kMarker);
    if (!type.empty())
        appendRun(cursor, QStringLiteral("[%1] ").arg(q(type)), error ? red : QColor(255, 255, 255), true);
    const bool italic = type == "function" || type == "object";
    appendRun(cursor, q(message), error ? red : QColor(255, 128, 0), true, italic);
    scrollToEnd(box);
}

}  // namespace

void QtOutput::messageLine(const std::string& text) {
    QTextCursor cursor = startLine(outputBox_, kMarker);
    appendRun(cursor, q(text), QColor(0, 255, 0), false);
    scrollToEnd(outputBox_);
}

void QtOutput::consoleLine(const std::string& type, const std::string& message) {
    writeConsole(consoleBox_, type, message, false);
}

void QtOutput::errorConsoleLine(const std::string& type, const std::string& message) {
    writeConsole(consoleBox_, type, message, true);
}

void QtOutput::consoleHeading(const std::string& text) {
    QTextCursor cursor(consoleBox_->document());
    cursor.movePosition(QTextCursor::End);
    if (!consoleBox_->document()->isEmpty())
        cursor.insertBlock();
    appendRun(cursor, q(text), QColor(255, 255, 255), true);
}

void QtOutput::echo(const std::string& expression) {
    QTextCursor cursor = startLine(consoleBox_, kMarker);
    appendRun(cursor, QStringLiteral("› "), QColor(150, 150, 150), true);
    appendRun(cursor, q(expression), QColor(220, 220, 220), false);
    scrollToEnd(consoleBox_);
}

void QtOutput::evaluationError(const std::string& text) {
    const QColor red(255, 0, 0);
    QTextCursor cursor = startLine(consoleBox_, red);
    appendRun(cursor, q(text), red, false);
    scrollToEnd(consoleBox_);
}

void QtOutput::noteLine(const std::string& text) {
    QTextCursor cursor = startLine(consoleBox_, kMarker);
    appendRun(cursor, q(text), QColor(150, 150, 150), false, true);
    scrollToEnd(consoleBox_);
}

void QtOutput::clearTranscript() { consoleBox_->clear(); }

// The module's place as a link, then the line (or the part of it around the column) in a
// fixed-pitch font with a caret under the column, indented by the width of what precedes it.
void QtOutput::errorSpot(const ErrorSpot& spot) {
    QTextEdit* box = spot.evaluation ? consoleBox_ : outputBox_;
    spots_.push_back(spot);
    if (!spot.page.empty()) {
        QTextCursor cursor = startLine(box, kMarker);
        appendRun(cursor, QStringLiteral("位置："), QColor(0, 255, 0), false);
        QTextCharFormat link;
        link.setFont(outputFont());
        link.setForeground(QColor(90, 170, 255));
        link.setFontUnderline(true);
        link.setAnchor(true);
        link.setAnchorHref(QString::number(spots_.size() - 1));
        // The column as editors count it, from 1; Ctrl+G takes the same "line:column".
        cursor.insertText(QStringLiteral("%1 %2:%3").arg(q(spot.page)).arg(spot.line).arg(spot.column + 1), link);
        // A load's error can be placed again in a formatted copy of the module: minified
        // code gets a line per statement.
        if (!spot.evaluation && onFormatAndLocate) {
            appendRun(cursor, QStringLiteral("  "), QColor(0, 255, 0), false);
            link.setAnchorHref(QStringLiteral("format:%1").arg(spots_.size() - 1));
            cursor.insertText(QStringLiteral("格式化并定位"), link);
        }
    }
    if (spot.excerpt.empty()) {
        scrollToEnd(box);
        return;
    }
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QTextCharFormat code;
    code.setFont(fixed);
    code.setForeground(QColor(230, 230, 230));
    QTextCursor cursor(box->document());
    cursor.movePosition(QTextCursor::End);
    QTextBlockFormat block;
    block.setLeftMargin(16);
    // One line each, never wrapped: the caret stands under its column.
    block.setNonBreakableLines(true);
    cursor.insertBlock(block);
    const QString excerpt = q(spot.excerpt);
    cursor.insertText(excerpt, code);
    QTextBlockFormat under = block;
    under.setTextIndent(QFontMetricsF(fixed).horizontalAdvance(excerpt.left(spot.caret)));
    cursor.insertBlock(under);
    QTextCharFormat caret = code;
    caret.setForeground(QColor(255, 0, 0));
    caret.setFontWeight(QFont::Bold);
    cursor.insertText(QStringLiteral("^"), caret);
    scrollToEnd(box);
}

void QtOutput::objectResult(const std::string& expression, const ObjectNode& root) {
    QTextCursor cursor = startLine(consoleBox_, kMarker);
    QTextCharFormat link;
    link.setFont(outputFont());
    link.setForeground(QColor(90, 170, 255));
    link.setFontUnderline(true);
    link.setAnchor(true);
    link.setAnchorHref(QStringLiteral("object"));
    cursor.insertText(QStringLiteral("▸ %1  (在「对象」中展开)").arg(q(root.preview)), link);
    scrollToEnd(consoleBox_);
    if (onObjectResult)
        onObjectResult(expression, root);
}

void QtOutput::openSpot(const QString& href) {
    if (href == QLatin1String("object")) {
        tabs_->setCurrentIndex(2);
        return;
    }
    if (href.startsWith(QLatin1String("format:"))) {
        bool ok = false;
        const int index = href.mid(7).toInt(&ok);
        if (ok && index >= 0 && index < static_cast<int>(spots_.size()) && onFormatAndLocate)
            onFormatAndLocate(spots_[static_cast<std::size_t>(index)]);
        return;
    }
    bool ok = false;
    const int index = href.toInt(&ok);
    if (ok && index >= 0 && index < static_cast<int>(spots_.size()) && onSpotClicked)
        onSpotClicked(spots_[static_cast<std::size_t>(index)]);
}

void QtOutput::chooseTab(int tab) { tabs_->setCurrentIndex(tab == 0 ? 0 : tab == 2 ? 2 : 1); }

int QtOutput::currentTab() const { return tabs_->currentIndex() == 0 ? 0 : 1; }

void QtOutput::clear() { (currentTab() == 0 ? outputBox_ : consoleBox_)->clear(); }

QMimeData* clipboardMimeData(const std::vector<ClipboardEntry>& entries) {
    auto* data = new QMimeData;
    for (const ClipboardEntry& entry : entries) {
        const QByteArray bytes(entry.bytes.data(), static_cast<qsizetype>(entry.bytes.size()));
        if (!entry.format.empty()) {
            const QString name = q(entry.format);
            if (name.startsWith(QLatin1String("text/plain"))) {
                data->setText(q(entry.bytes));
                continue;
            }
            data->setData(name, bytes);
            // Under the name Qt gives a Windows-registered format as well, so a peer that
            // looks for either finds it.
            if (!name.contains(QLatin1Char('/')))
                data->setData(QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(name), bytes);
            continue;
        }
        switch (entry.number) {
        case 1:  // ANSI text in code page 936
        case 7:  // OEM text, the same bytes here
            if (!data->hasText()) {
                std::string bytes = entry.bytes;
                while (!bytes.empty() && bytes.back() == '\0')  // the Windows text ends in a zero
                    bytes.pop_back();
                data->setText(q(text::fromGb18030(bytes)));
            }
            break;
        case 13: {  // UTF-16LE, ending in a zero unit
            std::u16string wide(entry.bytes.size() / 2, u'\0');
            std::memcpy(wide.data(), entry.bytes.data(), wide.size() * 2);
            while (!wide.empty() && wide.back() == u'\0')
                wide.pop_back();
            data->setText(QString::fromStdU16String(wide));
            break;
        }
        default:  // locale and other Windows-only formats have no meaning here
            break;
        }
    }
    return data;
}

bool QtClipboard::write(const std::vector<ClipboardEntry>& entries) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setMimeData(clipboardMimeData(entries));
    return true;
}

QString QtShell::defaultOpener() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
#else
    return {};
#endif
}

bool QtShell::open(const std::string& urlOrPath) {
    const QString target = q(urlOrPath);
    QUrl url(target);
    if (url.scheme().isEmpty() || QFileInfo::exists(target))
        url = QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
    if (opener.isEmpty())
        return QDesktopServices::openUrl(url);
    // Not detached, so its exit code tells whether anything could open the target. The
    // program it hands the target to may run on in its place (a browser in the
    // foreground): an error counts only when the opener ends soon after it started.
    constexpr qint64 kGiveUpWithinMs = 10000;
    auto* process = new QProcess();
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    auto clock = std::make_shared<QElapsedTimer>();
    std::weak_ptr<bool> alive = alive_;
    QObject::connect(process, &QProcess::finished, process,
                     [this, process, clock, alive, urlOrPath](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         const bool failed = status != QProcess::NormalExit || exitCode != 0;
                         const std::shared_ptr<bool> shellAlive = alive.lock();
                         if (failed && clock->elapsed() < kGiveUpWithinMs && shellAlive && *shellAlive &&
                             openFailedLater)
                             openFailedLater(urlOrPath);
                         if (shellAlive && *shellAlive && openerEnded)
                             openerEnded(urlOrPath);
                     });
    clock->start();
    process->start(opener, {url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
    if (!process->waitForStarted(5000)) {
        QObject::disconnect(process, nullptr, nullptr, nullptr);
        delete process;
        return false;
    }
    return true;
}

}  // namespace quillbox::app
