#pragma once

#include <QLabel>

#include <cstdint>

namespace velmora {

// A caption-less square whose background shows whether its karma level is
// chosen. It keeps the system colour reference, not an RGB value, so it
// follows the desktop's colour scheme.
class IndicatorLamp : public QLabel {
    Q_OBJECT

public:
    IndicatorLamp(int level, QWidget* parent = nullptr);

    void setSystemColour(std::uint32_t reference);
    std::uint32_t systemColour() const { return m_reference; }
    QColor shownColour() const;
    bool isLit() const;
    // Sends assistive technology the lamp's checked state if it changed
    // since last told.
    void reportState();
    QString accessibleLampName() const;
    QString accessibleLampDescription() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_level;
    std::uint32_t m_reference;
    bool m_reportedLit = false;
};

} // namespace velmora
