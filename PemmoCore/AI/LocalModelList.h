// The models a local model server has installed, as it lists them, or why it could not be asked.
#pragma once

#include <QString>
#include <QStringList>

namespace pemmo {

struct LocalModelList {
    enum class Problem {
        None,
        // The address is not one of this computer's; nothing was sent.
        InvalidAddress,
        // Nothing answered at the address (or not within the time-out).
        NotRunning,
        // Something answered, but not as a local model server does.
        NotAModelServer,
    };

    // The installed models' names (for example "llama3.2:latest"), sorted, each once.
    QStringList models;
    Problem problem = Problem::None;
    // What the user is told when there is a problem.
    QString message;

    bool reached() const { return problem == Problem::None; }
    // True when `model` is among the installed ones: by its name, or, when it names no tag, by its
    // name with ":latest" (the tag the server gives a model pulled without one).
    bool lists(const QString& model) const {
        for (const QString& installed : models) {
            if (installed == model || (!model.contains(u':') && installed == model + u":latest"))
                return true;
        }
        return false;
    }

    bool operator==(const LocalModelList&) const = default;
};

} // namespace pemmo
