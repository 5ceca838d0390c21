// Helpers that the embedded store's source files share.
#ifndef FDBSTORE_INTERNAL_H
#define FDBSTORE_INTERNAL_H

#include <memory>
#include <string>
#include <vector>

class FdbDatabase;
class VCard;

// The text that orders names as the console does (letter case ignored).
std::string FdbSortKey(const std::string& name);
std::string FdbCardValue(const VCard* card, int propId);  // "" when the card lacks it
std::string FdbCardText(const VCard* card);               // the card in vCard text form
VCard* FdbCardFromText(const std::string& text);          // new card, or null
// Refuses (level 4) the batch when a card has a bad or known UID, no name or
// over-long texts; completes FN and N. Run inside the adding transaction.
void FdbCheckCards(FdbDatabase& db, std::vector<std::unique_ptr<VCard>>* cards);
void FdbInsertCard(FdbDatabase& db, const VCard* card);
// Moves the older text tables into a dated backup folder; its path, or ""
// when they could not all be moved.
std::string FdbMoveOldTables(const std::string& dir);

#endif
