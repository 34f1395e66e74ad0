// The help viewer.  Linux has no WinHelp engine, so help files are read as HTML: the file
// beside the named help file with the ending ".html" or ".htm" opens in one help window of the
// library, a text browser with back and forward buttons.
#include "quillon/backend/backend.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

namespace {

struct help_state_t {
  QPointer<QWidget> window;
  QTextBrowser* browser = nullptr;
};
help_state_t& st() {
  static help_state_t s;
  return s;
}

// A page's characters.  A page that names its encoding (a byte-order mark, a charset in its
// head) is read in it; one that names none is UTF-8 when it is valid UTF-8, and otherwise in
// code page 1252, as help pages written on Windows are.
QString page_text(const QByteArray& bytes) {
  static const QRegularExpression declared(QStringLiteral("<meta[^>]*charset\\s*="),
                                           QRegularExpression::CaseInsensitiveOption);
  const QString head = QString::fromLatin1(bytes.first(std::min<qsizetype>(bytes.size(), 4096)));
  if (QStringConverter::encodingForData(bytes) || declared.match(head).hasMatch()) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (decoder.isValid()) return decoder.decode(bytes);
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = utf8.decode(bytes);
  return utf8.hasError() ? qnb::from_1252(std::string_view(bytes.constData(), size_t(bytes.size()))) : text;
}

QString html_text(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? page_text(f.readAll()) : QString();
}

// The help window's browser: its pages are read as page_text reads them.
class help_text_browser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;
  QVariant loadResource(int type, const QUrl& name) override {
    QVariant resource = QTextBrowser::loadResource(type, name);
    if (type == QTextDocument::HtmlResource && resource.userType() == QMetaType::QByteArray)
      return page_text(resource.toByteArray());
    return resource;
  }
};

// The HTML counterpart of a help file: its name with ".html" or ".htm" in place of its ending.
QString html_file_of(std::string_view file) {
  QString name = qnb::from_1252(file).trimmed();
  name.replace(QLatin1Char('\\'), QLatin1Char('/'));
  const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot > slash) name.truncate(dot);
  if (name.isEmpty() || name.endsWith(QLatin1Char('/'))) return {};
  for (const char* ending : {".html", ".htm"}) {
    const QString path = QString::fromStdString(qnb::resolve_file_name(qnb::to_1252(name + QLatin1String(ending))));
    if (QFileInfo(path).isFile()) return path;
  }
  return {};
}

bool has_anchor(const QString& html, const QString& key) {
  const QRegularExpression anchor(QStringLiteral("\\b(?:name|id)\\s*=\\s*[\"']?") + QRegularExpression::escape(key) +
                                      QStringLiteral("[\"'\\s>]"),
                                  QRegularExpression::CaseInsensitiveOption);
  return anchor.match(html).hasMatch();
}

bool title_holds(const QString& html, const QString& key) {
  static const QRegularExpression title(QStringLiteral("<title[^>]*>(.*?)</title>"),
                                        QRegularExpression::CaseInsensitiveOption |
                                            QRegularExpression::DotMatchesEverythingOption);
  const QRegularExpressionMatch m = title.match(html);
  return m.hasMatch() && m.captured(1).contains(key, Qt::CaseInsensitive);
}

// The page of the key's topic: the help file at the anchor of that name, else the first page
// of its directory (the help file first, then the others by name) whose title holds the key,
// else the help file's first page.
QUrl topic_url(const QString& path, const QString& key) {
  QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
  if (key.isEmpty()) return url;
  const QString html = html_text(path);
  if (has_anchor(html, key)) {
    url.setFragment(key);
    return url;
  }
  if (title_holds(html, key)) return url;
  const QFileInfo info(path);
  const QFileInfoList pages =
      info.dir().entryInfoList({QStringLiteral("*.html"), QStringLiteral("*.htm")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& page : pages)
    if (page != info && title_holds(html_text(page.filePath()), key)) return QUrl::fromLocalFile(page.absoluteFilePath());
  return url;
}

QTextBrowser* help_browser() {
  help_state_t& s = st();
  if (s.window) return s.browser;
  auto* window = new QWidget;
  window->setObjectName(QStringLiteral("qn_help"));
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QStringLiteral("Help"));
  window->resize(640, 480);
  auto* back = new QToolButton(window);
  back->setArrowType(Qt::LeftArrow);
  back->setToolTip(QStringLiteral("Back"));
  back->setEnabled(false);
  auto* forward = new QToolButton(window);
  forward->setArrowType(Qt::RightArrow);
  forward->setToolTip(QStringLiteral("Forward"));
  forward->setEnabled(false);
  auto* browser = new help_text_browser(window);
  browser->setObjectName(QStringLiteral("qn_help_browser"));
  browser->setOpenExternalLinks(true);
  QObject::connect(back, &QToolButton::clicked, browser, &QTextBrowser::backward);
  QObject::connect(forward, &QToolButton::clicked, browser, &QTextBrowser::forward);
  QObject::connect(browser, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
  QObject::connect(browser, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(back);
  buttons->addWidget(forward);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(buttons);
  layout->addWidget(browser);
  s.window = window;
  s.browser = browser;
  return browser;
}

}  // namespace

void START_WIN_HELP(const win_help_opts& o) {
  qnb::clear_status(o.status);
  qnb::ensure_app();
  if (o.command == HELP_QUIT) {
    end_win_help(o.window);
    return;
  }
  const QString path = html_file_of(o.file);
  if (path.isEmpty()) {
    qn_error("Unable to open help file: " + std::string(o.file), qnb::QN_FAIL, o.status);
    return;
  }
  const QString key = o.command == HELP_KEY ? qnb::from_1252(o.key).trimmed() : QString();
  QTextBrowser* browser = help_browser();
  browser->setSource(topic_url(path, key));
  QWidget* window = browser->window();
  window->show();
  window->raise();
  window->activateWindow();
}

void end_win_help(std::optional<int32_t>, int* status) {
  qnb::clear_status(status);
  if (QWidget* window = st().window) window->close();
}

namespace qnb {
void help_reset() {
  help_state_t& s = st();
  delete s.window.data();
  s = {};
}
}  // namespace qnb
