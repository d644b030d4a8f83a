#pragma once

// Checks of what a window shows a participant, made on the window as it
// stands on the screen:
// - captionFaults: a caption that does not fit its place, measured with the
//   metrics of the widget's own font against the widget's rectangle (a
//   label's text, a button's, a group box's title, a window's title in its
//   title bar), and captions that run into each other;
// - TranslationCheck: a text that is not the language's, that is neither
//   an entry of the language's translation file (with its %1 filled in by
//   texts that are themselves the language's, or by numbers and data) nor
//   data.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTextDocumentFragment>
#include <QXmlStreamReader>
#include <algorithm>
#include <string>
#include <vector>

#include "ui/CaptionFit.h"

namespace quarn::testing {

// A widget as a fault names it: "frmMain/fraPlayer/lblWeek".
inline QString widgetPath(const QWidget& widget, const QWidget& window) {
  QString path;
  for (const QWidget* w = &widget; w; w = w->parentWidget()) {
    const QString name = w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName();
    path = path.isEmpty() ? name : name + "/" + path;
    if (w == &window) break;
  }
  return path;
}

inline QString buttonCaption(const QAbstractButton& button) {
  QString text = button.text();
  return text.remove(QRegularExpression("&(?!&)"));
}

inline bool isRichText(const QLabel& label) {
  return label.textFormat() == Qt::RichText ||
         (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()));
}

// The texts a participant reads on `window`: its title, its labels, buttons,
// group box titles and list items, the visible ones only.
inline QStringList shownTexts(QWidget& window) {
  QStringList texts;
  if (!window.windowTitle().isEmpty()) texts << window.windowTitle();
  QList<QWidget*> widgets = window.findChildren<QWidget*>();
  for (QWidget* w : widgets) {
    if (!w->isVisibleTo(&window)) continue;
    if (auto* label = qobject_cast<QLabel*>(w)) {
      texts << (isRichText(*label) ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                                   : label->text());
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      texts << buttonCaption(*button);
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
      texts << box->title();
    } else if (auto* list = qobject_cast<QComboBox*>(w)) {
      for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
    }
  }
  texts.removeAll(QString());
  return texts;
}

// A place where a caption is drawn, in its parent's coordinates.
struct DrawnCaption {
  QString name;
  QRect rect;
  bool text = false;  // a label's text (not a whole control)
  int space = 0;      // a blank's width in its font
};

class CaptionFit {
 public:
  explicit CaptionFit(QWidget& window) : m_window(window) {}

  // Every caption of the window that does not fit, or runs into another.
  QStringList faults() {
    checkTitle();
    for (QWidget* w : m_window.findChildren<QWidget*>()) {
      if (!w->isVisibleTo(&m_window)) continue;
      if (auto* label = qobject_cast<QLabel*>(w)) {
        checkLabel(*label);
      } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        checkButton(*button);
      } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
        checkGroupBox(*box);
      } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w)) {
        if (qobject_cast<QComboBox*>(w->parentWidget())) continue;  // a combo box's own edit
        m_drawn.insert(w->parentWidget(), {widgetPath(*w, m_window), w->geometry()});
      }
    }
    checkCrossings();
    return m_faults;
  }

 private:
  void fault(const QWidget& w, const QString& what) {
    m_faults << widgetPath(w, m_window) + ": " + what;
  }

  static QString size(const QSize& s) { return QString("%1x%2").arg(s.width()).arg(s.height()); }

  void checkTitle() {
    if (m_window.windowFlags().testFlag(Qt::FramelessWindowHint)) return;
    const QString title = m_window.windowTitle();
    if (title.isEmpty()) return;
    if (titleBarWidth(title) > m_window.width()) {
      fault(m_window, QString("title \"%1\" needs %2 px of title bar, the window is %3 px wide")
                          .arg(title)
                          .arg(titleBarWidth(title))
                          .arg(m_window.width()));
    }
  }

  // The text must fit the label's contents (less its margin); a wrapped text
  // the height its width gives it.
  void checkLabel(QLabel& label) {
    const QString text = label.text();
    if (text.isEmpty()) return;
    const int m = label.margin();
    const QRect room = label.contentsRect().adjusted(m, m, -m, -m);
    QSize needed;
    if (label.wordWrap()) {
      needed =
          QSize(room.width(), label.heightForWidth(label.width()) - label.height() + room.height());
    } else if (isRichText(label)) {
      needed = label.sizeHint() - (label.rect().size() - room.size());
    } else {
      needed = QFontMetrics(label.font()).size(label.buddy() ? Qt::TextShowMnemonic : 0, text);
    }
    if (needed.width() > room.width() || needed.height() > room.height()) {
      fault(label, QString("\"%1\" needs %2, has %3").arg(text, size(needed), size(room.size())));
    }
    const QRect drawn = QStyle::alignedRect(Qt::LeftToRight, label.alignment(), needed, room)
                            .translated(label.pos());
    m_drawn.insert(label.parentWidget(), {widgetPath(label, m_window), drawn, true,
                                          QFontMetrics(label.font()).horizontalAdvance(' ')});
    checkInsideParent(label, drawn);
  }

  void checkButton(QAbstractButton& button) {
    const QString text = buttonCaption(button);
    if (text.isEmpty()) return;
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    option.icon = button.icon();
    option.iconSize = button.iconSize();
    const bool radio = qobject_cast<QRadioButton*>(&button) != nullptr;
    const QRect contents = button.style()->subElementRect(
        radio ? QStyle::SE_RadioButtonContents : QStyle::SE_PushButtonContents, &option, &button);
    const QSize needed = QFontMetrics(button.font()).size(Qt::TextShowMnemonic, button.text());
    if (needed.width() > contents.width() || needed.height() > contents.height()) {
      fault(button,
            QString("\"%1\" needs %2, has %3").arg(text, size(needed), size(contents.size())));
    }
    m_drawn.insert(button.parentWidget(), {widgetPath(button, m_window), button.geometry()});
    checkInsideParent(button, button.geometry());
  }

  // The title, in bold, must fit its place within the box.
  void checkGroupBox(QGroupBox& box) {
    if (box.title().isEmpty()) return;
    QStyleOptionGroupBox option;
    option.initFrom(&box);
    option.text = box.title();
    option.lineWidth = 1;
    option.textAlignment = box.alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect title =
        box.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &box);
    QFont bold = box.font();
    bold.setBold(true);
    const QSize needed = QFontMetrics(bold).size(0, box.title());
    if (needed.width() > title.width() || needed.height() > title.height() ||
        !box.rect().contains(title)) {
      fault(box, QString("title \"%1\" needs %2, has %3 at (%4, %5) in %6")
                     .arg(box.title(), size(needed), size(title.size()))
                     .arg(title.x())
                     .arg(title.y())
                     .arg(size(box.size())));
    }
    m_drawn.insert(&box, {widgetPath(box, m_window) + "(title)", title, true,
                          QFontMetrics(bold).horizontalAdvance(' ')});
  }

  // A caption reaching out of its parent is cut there.
  void checkInsideParent(const QWidget& w, const QRect& drawn) {
    const QWidget* parent = w.parentWidget();
    if (!parent || parent->isWindow() || parent->rect().contains(drawn)) return;
    fault(w, QString("drawn at %1,%2 %3 out of its parent's %4")
                 .arg(drawn.x())
                 .arg(drawn.y())
                 .arg(size(drawn.size()), size(parent->size())));
  }

  // Two captions of one parent must not cross; two texts side by side keep
  // a blank between them.
  void checkCrossings() {
    for (QWidget* parent : m_drawn.uniqueKeys()) {
      const QList<DrawnCaption> drawn = m_drawn.values(parent);
      for (qsizetype i = 0; i < drawn.size(); ++i) {
        for (qsizetype j = i + 1; j < drawn.size(); ++j) {
          const DrawnCaption& a = drawn[i];
          const DrawnCaption& b = drawn[j];
          if (a.rect.intersects(b.rect)) {
            m_faults << a.name + " and " + b.name + ": overlap";
            continue;
          }
          const bool level = a.rect.top() < b.rect.bottom() && b.rect.top() < a.rect.bottom();
          if (!level || !(a.text && b.text)) continue;
          const int gap =
              std::max(b.rect.left() - a.rect.right(), a.rect.left() - b.rect.right()) - 1;
          if (gap < std::min(a.space, b.space)) {
            m_faults << a.name + " and " + b.name + QString(": %1 px apart").arg(gap);
          }
        }
      }
    }
  }

  QWidget& m_window;
  QStringList m_faults;
  QMultiHash<QWidget*, DrawnCaption> m_drawn;
};

inline QStringList captionFaults(QWidget& window) {
  return CaptionFit(window).faults();
}

// The entries of a translation file, each source with its translation.
struct CatalogueEntry {
  QString source;
  QString translation;
};

inline std::vector<CatalogueEntry> readCatalogue(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  QXmlStreamReader xml(&file);
  std::vector<CatalogueEntry> entries;
  CatalogueEntry entry;
  QString* into = nullptr;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement()) {
      if (xml.name() == u"source") into = &entry.source;
      if (xml.name() == u"translation") into = &entry.translation;
      if (xml.name() == u"byte" && into) {
        into->append(QChar(xml.attributes().value("value").mid(1).toInt(nullptr, 16)));
      }
    } else if (xml.isCharacters() && into) {
      into->append(xml.text());
    } else if (xml.isEndElement()) {
      if (xml.name() == u"source" || xml.name() == u"translation") into = nullptr;
      if (xml.name() == u"message") {
        entries.push_back(entry);
        entry = {};
      }
    }
  }
  return entries;
}

// Whether the texts a participant reads are the language's. A text is when
// it is an entry of the language's translation file, or an entry with a
// pattern (%1) whose parts are the language's; or when it is made of such
// texts (lines, lists, a legend's entries), numbers and data. Numbers and
// data are compared as "#" on both sides.
class TranslationCheck {
 public:
  // `catalogue`: the language's translation file; `data`: texts that are the
  // session's own (the participant's ID, the setting, folder and server
  // names), which stay as they are in every language.
  TranslationCheck(const QString& catalogue, const QStringList& data) {
    QStringList escaped;
    for (const QString& text : data) {
      if (!text.isEmpty()) escaped << QRegularExpression::escape(text);
    }
    if (!escaped.isEmpty()) {
      m_data = QRegularExpression("(?<!\\w)(" + escaped.join('|') + ")(?!\\w)");
    }
    for (const CatalogueEntry& entry : readCatalogue(catalogue)) {
      const QString translation = normal(entry.translation);
      if (!translation.contains(QRegularExpression("%[1-9]"))) {
        m_texts.insert(translation);
        continue;
      }
      for (const char* capture : {"(.+)", "(.+?)"}) {
        QString pattern = QRegularExpression::escape(translation);
        pattern.replace(QRegularExpression("\\\\?%[1-9]"), capture);
        m_patterns.emplace_back(QRegularExpression::anchoredPattern(pattern),
                                QRegularExpression::DotMatchesEverythingOption);
      }
    }
  }

  // Why `shown` is not the language's; empty when it is.
  QString fault(const QString& shown) {
    QString text = shown;
    if (m_data.isValid() && !m_data.pattern().isEmpty()) text.replace(m_data, "#");
    if (text.contains(QRegularExpression("\\d\\.\\d"))) {
      return "\"" + shown + "\": a number with an English decimal point";
    }
    return isTheLanguages(normal(shown)) ? QString() : "\"" + shown + "\"";
  }

 private:
  // Without carriage returns and mnemonics, data and numbers as "#".
  QString normal(QString text) const {
    text.remove('\r');
    text.remove(QRegularExpression("&(?!&)"));
    if (!m_data.pattern().isEmpty()) text.replace(m_data, "#");
    text.replace(QRegularExpression("(?<![%\\d])-?\\d+([.,]\\d+)?"), "#");
    return text.trimmed();
  }

  bool isTheLanguages(const QString& text) {
    if (auto known = m_known.find(text); known != m_known.end()) return *known;
    m_known.insert(text, false);  // a text is not accounted for by itself
    const bool accounted = account(text);
    m_known.insert(text, accounted);
    return accounted;
  }

  bool account(const QString& text) {
    if (!text.contains(QRegularExpression("\\p{L}")) || m_texts.contains(text)) return true;
    for (const QRegularExpression& pattern : m_patterns) {
      const QRegularExpressionMatch match = pattern.match(text);
      if (!match.hasMatch()) continue;
      bool all = true;
      for (int i = 1; all && i <= match.lastCapturedIndex(); ++i) {
        all = isTheLanguages(match.captured(i).trimmed());
      }
      if (all) return true;
    }
    if (text.contains('\n')) return allOf(text.split('\n', Qt::SkipEmptyParts));
    // A sentence's full stop after a pattern's part.
    QString sentence = text;
    sentence.remove(QRegularExpression("[.:;!?]+$"));
    if (sentence != text) return isTheLanguages(sentence);
    // A list, a legend's entries.
    const QStringList parts = text.split(QRegularExpression(", |\\s{3,}"), Qt::SkipEmptyParts);
    if (parts.size() > 1) return allOf(parts);
    // A text between signs and numbers.
    QString inner = text;
    inner.remove(QRegularExpression("^[^\\p{L}]+|[^\\p{L}]+$"));
    return inner != text && isTheLanguages(inner);
  }

  bool allOf(const QStringList& parts) {
    return std::all_of(parts.begin(), parts.end(),
                       [this](const QString& part) { return isTheLanguages(part.trimmed()); });
  }

  QSet<QString> m_texts;
  std::vector<QRegularExpression> m_patterns;
  QRegularExpression m_data;
  QHash<QString, bool> m_known;
};

}  // namespace quarn::testing
