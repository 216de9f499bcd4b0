// The playlist's find box: Enter asks for the next match and stays here, so
// it never presses the window's default button.
#pragma once

#include "controls/MessageSink.h"

#include <QLineEdit>

namespace tessel {

class CFindBox : public QLineEdit {
    Q_OBJECT

  public:
    explicit CFindBox(QWidget* parent = nullptr);

    void SetMessageSink(MessageSink post) { m_post = std::move(post); }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    MessageSink m_post;
};

} // namespace tessel
