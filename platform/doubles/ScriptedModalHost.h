#pragma once

#include "platform/ModalHost.h"

#include <QList>
#include <QString>

#include <functional>

class QDialog;

// Records which windows were shown modally (by objectName) and lets the test drive each one: a queued
// script receives the window, already initialised and shown, and acts on it as a person would (clicks,
// typing). When the script leaves the window open, it is rejected, like a closed window.
class ScriptedModalHost : public IModalHost
{
public:
    using Script = std::function<void(QDialog&)>;
    void queueScript(Script script) { m_scripts.append(std::move(script)); }
    int showModal(QDialog& dialog) override;
    const QList<QString>& shown() const { return m_shown; }

private:
    QList<QString> m_shown;
    QList<Script> m_scripts;
};
