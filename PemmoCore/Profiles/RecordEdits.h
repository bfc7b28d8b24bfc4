// The everyday edits of a record as pure functions: each changes the record in place and says
// whether anything changed, so that an edit that changes nothing need not be written.
#pragma once

#include "Records/BriefingCache.h"
#include "Records/DateComponents.h"
#include "Records/Interaction.h"
#include "Records/PemmoRecord.h"
#include "Records/QuickLink.h"
#include "Records/WritableField.h"

#include <QDateTime>
#include <QString>
#include <QUuid>
#include <optional>

namespace pemmo::RecordEdits {

// A record holds at most this many custom links; links of the other kinds are not counted.
constexpr int customLinkLimit = 5;

// Sets `field` to the trimmed value (blank or absent clears it) and logs the change with its
// source. Setting the value a field already has changes nothing and logs nothing.
bool setField(PemmoRecord& record, WritableField field, const std::optional<QString>& value,
              const Interaction::Source& source, const QDateTime& now);

// Adds a circle id once; a second add of the same id changes nothing.
bool addTag(PemmoRecord& record, const QString& tagID);
bool removeTag(PemmoRecord& record, const QString& tagID);

// Appends the link (a null id gets a fresh one). Throws PemmoError::customLinkLimitReached when
// it would be one custom link too many.
bool addLink(PemmoRecord& record, QuickLink link);
// Replaces the link with the same id; an unknown id changes nothing. The custom-link limit holds
// for a link that becomes custom.
bool updateLink(PemmoRecord& record, const QuickLink& link);
bool removeLink(PemmoRecord& record, const QUuid& linkID);

// Appends a timeline entry (a null id gets a fresh one).
bool addInteraction(PemmoRecord& record, Interaction interaction);
// Replaces the entry with the same id; an unknown id changes nothing.
bool updateInteraction(PemmoRecord& record, const Interaction& interaction);
bool removeInteraction(PemmoRecord& record, const QUuid& interactionID);

// Adds trimmed text to "about" as a new paragraph; blank text changes nothing.
bool appendAbout(PemmoRecord& record, const QString& text);
bool setAbout(PemmoRecord& record, const QString& text);

bool setAICloudOptOut(PemmoRecord& record, bool optOut);

// A day of the calendar: month 1 to 12, a day that month has (29 February only in a leap year, or
// without a year), and a year, when there is one, from 1 to 9999, the years the file can hold.
bool isValidBirthday(const DateComponents& birthday);
// Throws PemmoError::invalidBirthday, changing nothing, for a birthday that is no such day: one
// bad value must never make the whole file unreadable at the next start.
bool setBirthday(PemmoRecord& record, const std::optional<DateComponents>& birthday);
bool setBriefing(PemmoRecord& record, const std::optional<BriefingCache>& briefing);

} // namespace pemmo::RecordEdits
