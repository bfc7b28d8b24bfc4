// What a person's card lists, worked out from values alone: the circle chips of the header and the
// rows below it in order, each row the keyboard stops on with the action Return runs and the hint
// the footer shows, and what a screen reader says for each of those.
#pragma once

#include "Lists/Tag.h"
#include "Records/Profile.h"
#include "Screens/ProfileAction.h"
#include "Screens/ProfileRowsModel.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace pemmo::ProfileCard {

// Timeline entries the card shows until the user asks for all of them.
inline constexpr int shortTimeline = 5;
// Recorded changes the card lists, newest first.
inline constexpr int changesShown = 10;

// The briefing row while nothing is cached, or over what is: being written now, or the last try
// failed.
enum class BriefingState { Idle, Writing, Failed };

struct Inputs {
    const Profile& profile;
    QDateTime now;
    // The person as messages name them ("Anna Berg", or "this contact").
    QString who;
    // A circle of the catalog; absent for one the catalog no longer has.
    std::function<std::optional<Tag>(const QString& id)> tagWithID;
    bool aiEnabled = false;
    BriefingState briefing = BriefingState::Idle;
    // Why the last briefing failed (the AI service's text).
    QString briefingError;
    // Why AI cannot run for this card (the provider's own words); empty while it can.
    QString aiUnavailableReason;
    // The last message draft and who wrote it; empty before one.
    QString draft;
    QString draftLabel;
    bool showsWholeTimeline = false;
    // Pemmo keeps a photo of its own, so the address book's can be brought back.
    bool hasReplacementPhoto = false;
};

struct Layout {
    // The rows the keyboard stops on, in order, and what a screen reader says for each.
    QList<SelectableItem> items;
    QStringList spoken;
    // The header's circle chips, then everything below it.
    QList<ProfileRow> chips;
    QList<ProfileRow> rows;
};

Layout build(const Inputs& inputs);

// The ids of the phone and e-mail rows: the prefix, then the value's place in the contact.
QString phoneItemPrefix();
QString emailItemPrefix();

// A recorded field's title as the card shows it ("howWeMet" → "How you met").
QString fieldTitle(const QString& field);

} // namespace pemmo::ProfileCard
