#include "ver/form_version.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "platform/colours.h"
#include "ui/design_font.h"
#include "ver/version_picture.h"

namespace veldan {

TForm_version* Form_version = nullptr;

namespace {

constexpr int kClientWidth = 210;
constexpr int kClientHeight = 219;

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, QRect place, int pixel_size,
                  bool bold = false) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(name);
  label->setGeometry(place);
  label->setFont(DesignFont(kProportionalGothic, pixel_size, bold, true));
  // Transparent, so the labels that lie over the picture are drawn on it.
  label->setAutoFillBackground(false);
  label->setAttribute(Qt::WA_TranslucentBackground);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The labels size themselves to their text, as designed; the substitute font runs wider than
  // the designed one, and an italic's last letter leans out past its advance.
  const int needed = label->fontMetrics().horizontalAdvance(label->text()) + pixel_size / 3;
  if (needed > place.width()) label->resize(needed, place.height());
  return label;
}

}  // namespace

TForm_version::TForm_version(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  Form_version = this;
  setObjectName("Form_version");
  setWindowTitle("Version");
  setAccessibleName(QStringLiteral("VELDAN version information"));
  setFont(DesignFont(kProportionalGothic, 12));
  setFixedSize(kClientWidth, kClientHeight);

  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setGeometry(0, 0, kClientWidth, kClientHeight);
  // A raised bevel inside and out: two raised lines round the edge.
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setLineWidth(2);

  // Later siblings are drawn above earlier ones: the picture first, the labels over it.
  Image1 = new QLabel(Panel1);
  Image1->setObjectName("Image1");
  Image1->setGeometry(10, 2, 199, 180);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1->setScaledContents(false);
  Image1->setPixmap(QPixmap::fromImage(DrawVersionPicture(devicePixelRatioF())));

  Label1 = MakeLabel(Panel1, "Label1", "VELDAN ", QRect(5, 26, 128, 29), 29, true);
  QPalette navy = Label1->palette();
  navy.setColor(QPalette::WindowText, QColor(kColourNavy));
  Label1->setPalette(navy);
  Label2 = MakeLabel(Panel1, "Label2", "Plays your MP3 discs", QRect(8, 56, 119, 12), 12);
  Label3 = MakeLabel(Panel1, "Label3", "Ver.1.50 ", QRect(14, 73, 51, 13), 13);
  Label4 = MakeLabel(Panel1, "Label4", "(C) 2025", QRect(13, 125, 81, 12), 12);
  Label5 = MakeLabel(Panel1, "Label5", "The VELDAN team", QRect(21, 141, 109, 12), 12);
  Label6 = MakeLabel(Panel1, "Label6", "All rights reserved.", QRect(13, 157, 101, 12), 12);

  Button1 = new QPushButton(QString::fromUtf8("閉じる"), Panel1);
  Button1->setObjectName("Button1");
  Button1->setGeometry(64, 184, 75, 25);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, [this] { done(1); });
}

TForm_version::~TForm_version() {
  if (Form_version == this) Form_version = nullptr;
}

void TForm_version::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      move(screen->availableGeometry().center() - rect().center());
    }
  }
  QDialog::showEvent(event);
}

// Escape closes the box with the cancel result, as closing every other dialog does.
void TForm_version::reject() {
  done(2);
}

void ShowVersionBox() {
  if (Form_version != nullptr) Form_version->exec();
}

}  // namespace veldan
