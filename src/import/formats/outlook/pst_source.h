#pragma once
// An Outlook data file (.pst, and .ost as far as libpst reads it) as an
// OutlookSource, read through libpst. Only the folder tree is kept in
// memory; items are read one at a time and freed at once, so memory stays
// bounded however large the file (libpst itself holds the file's index).
//
// Field mapping (each automation property of an Outlook item and what is
// read for it):
//   SUBJECT           PR_SUBJECT (its marker prefix removed by libpst)
//   TO                PR_DISPLAY_TO
//   SENDERNAME        PR_SENDER_NAME, else PR_SENT_REPRESENTING_NAME
//   BODY              PR_BODY; else the HTML body through htmlToText; else the
//                     compressed RTF body, decompressed and turned into text
//   CreationTime      PR_CREATION_TIME as local time "YYYY-MM-DD HH:MM:SS"
//   reply recipient   PR_SENT_REPRESENTING_EMAIL_ADDRESS and _NAME, else
//                     PR_SENDER_EMAIL_ADDRESS and PR_SENDER_NAME
//   Recipients        libpst gives no recipient table: the "To:" and "Cc:"
//                     lines of the transport header when the item has one,
//                     else PR_DISPLAY_TO and PR_DISPLAY_CC split at ";"
//                     (display names, which stand for the address too)
//   folder tree       the folder descriptors below the top of the personal
//                     folders; PR_DISPLAY_NAME, PR_CONTAINER_CLASS, and the
//                     message descriptors counted as the folder's items

#include <memory>
#include <string>

#include "import/formats/outlook/outlook_source.h"

namespace qb::import::outlook {

// Opens `file`. Unreadable (missing, no permission): error.unreadable. Not an
// Outlook data file, or one libpst cannot open (damaged index, an encryption
// it does not know): error.unreadable false, with the reason.
std::unique_ptr<OutlookSource> openPstFile(const std::string& file, OpenError& error);

}  // namespace qb::import::outlook
