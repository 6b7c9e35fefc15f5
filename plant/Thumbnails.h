// The thumbnails of checked frames: beside a report file as ID.png, in
// the database's table velmora_thumbnails, and on the summary's page,
// where every failure with a picture and the first pass of each station
// and day show theirs.
#pragma once

#include "Record.h"
#include "Summary.h"

#include <optional>
#include <string>
#include <vector>

namespace plant {

class Database;

// The thumbnail of record id beside the report file at reportPath.
std::string ThumbnailBeside(const std::string &reportPath, const std::string &id);

// png written whole to path (fileio::ReplaceRegularFile). "" or why not.
std::string WriteThumbnailFile(const std::string &path, const std::string &png);

// The records whose thumbnails the page shows, in time order: every
// failure that has a checked frame, and of the records that passed with
// one, the first of each station and UTC day.
std::vector<const Record *> PickThumbnails(const std::vector<Record> &records, const Filter &filter);

// The picked records' thumbnails beside the report file at reportPath;
// one that is missing is left out, and one that is no thumbnail the page
// may show (video::IsThumbnailPng) has no picture.
std::vector<Thumbnail> ThumbnailsBeside(const std::string &reportPath, const std::vector<Record> &records,
					const Filter &filter);

// The same picked from the database's tables (none before schema version
// 3), their pictures checked the same way. Empty why, or why not.
std::vector<Thumbnail> ThumbnailsFromDatabase(Database &db, const Filter &filter, std::string &why);

// The page's section of thumbnails, each an <img> with a data: URI, so
// the page stays one file, or "picture unreadable" where there is none.
std::string ThumbnailsHtml(const std::vector<Thumbnail> &thumbnails);

} // namespace plant
