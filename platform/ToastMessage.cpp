#include "platform/ToastMessage.h"

#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPointer>
#include <QPropertyAnimation>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace platform {

namespace {

constexpr int kFadeMs = 200;
constexpr int kPadding = 12;

// A dark rounded box with white text, in the lower third of the view; it
// lets touches through, fades in, stays, fades out and deletes itself.
class Toast : public QWidget {
public:
    Toast(QWidget* over, const QString& text, int durationMs)
        : QWidget(over)
        , m_text(text)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        QFont f = font();
        f.setPixelSize(15);
        f.setBold(true);
        setFont(f);
        const int maxWidth = std::max(40, over->width() - 40);
        const QRect needed = QFontMetrics(f).boundingRect(QRect(0, 0, maxWidth - 2 * kPadding, 10000),
                                                          Qt::TextWordWrap | Qt::AlignCenter, m_text);
        const QSize size(needed.width() + 2 * kPadding, needed.height() + 2 * kPadding);
        setGeometry((over->width() - size.width()) / 2, over->height() * 2 / 3 - size.height() / 2, size.width(),
                    size.height());

        auto* effect = new QGraphicsOpacityEffect(this);
        effect->setOpacity(0.0);
        setGraphicsEffect(effect);
        auto* fade = new QPropertyAnimation(effect, "opacity", this);
        fade->setDuration(kFadeMs);
        fade->setStartValue(0.0);
        fade->setEndValue(1.0);
        fade->start();

        liveToasts().append(this);
        // The fade out starts when the time is up; the toast counts as shown
        // until it has gone.
        QTimer::singleShot(std::max(0, durationMs), this, [this, effect] {
            auto* out = new QPropertyAnimation(effect, "opacity", this);
            out->setDuration(kFadeMs);
            out->setStartValue(effect->opacity());
            out->setEndValue(0.0);
            connect(out, &QPropertyAnimation::finished, this, [this] {
                liveToasts().removeAll(this);
                hide();
                deleteLater();
            });
            out->start();
        });
        show();
        raise();
    }

    ~Toast() override { liveToasts().removeAll(this); }

    QString text() const { return m_text; }

    static QList<Toast*>& liveToasts()
    {
        static QList<Toast*> toasts;
        return toasts;
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 190));
        painter.drawRoundedRect(QRectF(rect()), 8, 8);
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(kPadding, kPadding, -kPadding, -kPadding),
                         Qt::TextWordWrap | Qt::AlignCenter, m_text);
    }

private:
    QString m_text;
};

} // namespace

void showToast(QWidget* over, const QString& text, int durationMs)
{
    Q_ASSERT(over);
    if (!over || text.isEmpty())
        return;
    new Toast(over, text, durationMs);
}

QStringList visibleToastTexts()
{
    QStringList texts;
    for (const Toast* toast : Toast::liveToasts())
        texts << toast->text();
    return texts;
}

} // namespace platform
