#include "cli/commands.h"

namespace quiltor::cli {

// Each command lives in its own cmd_*.cpp; this table is the only place that
// lists them.
int RunVersion(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunProject(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunDatum(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunGrid(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunTile(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunCreate(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunInfo(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunScan(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunRasterInfo(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunPreview(const CommandArgs& args, std::ostream& out, std::ostream& err);

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"version", "print the program version", RunVersion, "usage: quiltor-cli version\n"},
      {"datum", "convert a point from one datum to another", RunDatum,
       "usage: quiltor-cli datum --from NAME --to NAME [--json] LATITUDE LONGITUDE\n"
       "\n"
       "Converts latitude/longitude (decimal degrees, north and east positive) from datum --from to\n"
       "datum --to through WGS 84 with each datum's three-parameter shift, as calibration points and\n"
       "map corners are converted. Prints LATITUDE LONGITUDE (9 decimals); --json prints an object\n"
       "with from, to, latitude, longitude and shifted. NAME is a datum name of the table, matched\n"
       "whole and ignoring case, e.g. \"Ord Srvy Grt Britn\", \"European 1950\", \"NAD27 CONUS\";\n"
       "a \"datums.dat\" beside the program or in ~/.config/quiltor adds up to 10 datums.\n"
       "Points beyond latitude 85 or longitude 179, and the point 0,0, are passed through unshifted.\n"
       "Example: quiltor-cli datum --from \"Ord Srvy Grt Britn\" --to \"WGS 84\" 51.5 -0.1\n"
       "Exit codes: 0 success, 2 bad arguments or an unknown datum (close names are listed).\n"},
      {"grid", "convert a UTM, British or Irish grid reference", RunGrid,
       "usage: quiltor-cli grid utm|bng|ig ZONE EASTING NORTHING [--hemisphere N|S] [--datum NAME] [--json]\n"
       "       quiltor-cli grid utm --from-latlon [--datum NAME] [--json] LATITUDE LONGITUDE\n"
       "\n"
       "Turns a grid reference into latitude/longitude (degrees, 9 decimals) on --datum (default\n"
       "\"WGS 84\"; the result is on that datum, not converted to WGS 84):\n"
       "  utm  ZONE is the zone number and band letter (\"30U\", \"56H\"; band A-M is south) or A, B,\n"
       "       Y, Z for the polar zones; EASTING/NORTHING in metres with the false origin; --hemisphere\n"
       "       N or S overrides the band letter. Results are rounded to 5 decimals.\n"
       "  bng  ZONE is the two-letter 100 km square (\"TQ\"); EASTING/NORTHING 0-100000 m within it.\n"
       "  ig   ZONE is the one-letter 100 km square (\"O\"); EASTING/NORTHING 0-100000 m within it.\n"
       "With --from-latlon, prints the UTM ZONE EASTING NORTHING (metres, 4 decimals) of a point.\n"
       "--json prints an object with latitude, longitude and datum (or zone, easting, northing).\n"
       "Example: quiltor-cli grid bng TQ 31866 79661 --datum \"Ord Srvy Grt Britn\"\n"
       "Exit codes: 0 success, 1 no position, 2 bad arguments, a malformed reference or an unknown datum.\n"},
      {"project", "project a point through a destination projection", RunProject,
       "usage: quiltor-cli project --projection NAME [--zone N] [--lat-origin D] [--central-meridian D]\n"
       "         [--lat1 D] [--lat2 D] [--scale-factor K] [--false-easting M] [--false-northing M]\n"
       "         [--datum NAME] [--json] LATITUDE LONGITUDE\n"
       "       quiltor-cli project --projection NAME [options] --inverse EASTING NORTHING\n"
       "\n"
       "Projects latitude/longitude (decimal degrees on --datum) to the easting and northing of the\n"
       "projection (metres, 4 decimals; for \"Latitude/Longitude\" degrees, 9 decimals), or back with\n"
       "--inverse (latitude and longitude, 9 decimals). NAME is a display name of the projection list,\n"
       "for example \"(UTM) Universal Transverse Mercator\". The options are the fields of the\n"
       "Destination Map tab, used as a create uses them: only the fields of the chosen projection\n"
       "count, and UTM is completed from --zone (central meridian zone*6-183, no false origin).\n"
       "The projection is made on --datum (default \"WGS 84\"). A \"MapProjections_Res.dat\" in the\n"
       "current folder replaces the built-in projection list.\n"
       "Exit codes: 0 success, 1 the point or projection failed, 2 bad arguments or unknown names.\n"},
      {"create", "merge the maps of some folders into one new calibrated tiled map", RunCreate,
       "usage: quiltor-cli create --folder DIR... -o OUT.qtx2 [--projection NAME] [--zone N]\n"
       "         [--lat-origin D] [--central-meridian D] [--lat1 D] [--lat2 D] [--scale-factor K]\n"
       "         [--false-easting M] [--false-northing M] [--datum NAME] [--mpp M] [--colors N]\n"
       "         [--resize P] [--temp DIR] [--max-loaded N] [--region MINX,MAXX,MINY,MAXY [--all-maps]]\n"
       "         [--settings FILE.ini] [--verbose] [--json]\n"
       "\n"
       "Reads every \".map\" file of the folders (not their subfolders), ticks every usable map and\n"
       "merges them, most detailed on top and map collars cut away, into one map in the projection\n"
       "--projection (a display name of the destination list, or its start or short name: \"utm\",\n"
       "\"Latitude/Longitude\", \"Transverse Mercator\"). The projection options are the fields of the\n"
       "Destination Map tab; only those the projection uses count (UTM takes --zone alone). --mpp is\n"
       "the pixel scale in metres per pixel, --datum the datum the new map's corners are written on.\n"
       "Writes OUT (the tiled image with all zoom levels, --colors colours, --resize percent) and its\n"
       "calibration file OUT.map. With --region only maps meeting that box (destination units) take\n"
       "part, the ticked ones or, with --all-maps, all. Options not given come from --settings (the\n"
       "window's settings file: Destination Image, Folders and System keys) or the defaults of a new\n"
       "installation (Mercator, WGS 84, 100 m, 256 colours, the system temporary folder). Temporary\n"
       "files go to a private folder inside --temp. Prints the create log and the result; --verbose\n"
       "also lists the images opened and closed, --json prints an object instead. Ctrl-C stops the\n"
       "create with no output and no temporary files left.\n"
       "Example: quiltor-cli create --folder samples -o /tmp/x.qtx2 --projection utm --zone 32 --mpp 40\n"
       "Exit codes: 0 written, 1 nothing written (the reason on stderr), 2 bad arguments.\n"},
      {"info", "show what a .map file says and convert points through its calibration", RunInfo,
       "usage: quiltor-cli info FILE.map [--pixel X,Y]... [--latlon LAT,LON]... [--json]\n"
       "\n"
       "Reads FILE.map as a folder scan reads it (the image found as the program finds it, also\n"
       "beside the map file and in the host's image folders) and prints its title, image file, size\n"
       "and status, projection (with the central meridian of a UTM map), datum, calibration method,\n"
       "metres per pixel, border points (pixel and WGS 84 latitude/longitude) and the WGS 84 position\n"
       "of the image corners. --pixel X,Y converts a pixel to latitude/longitude, --latlon LAT,LON a\n"
       "WGS 84 position to the nearest pixel; both may be repeated and are answered in the order\n"
       "given. --json prints one object (title, imageFile, projection, datum, method, metresPerPixel,\n"
       "width, height, status, border, corners, points, ...).\n"
       "Example: quiltor-cli info samples/lakeside-detail-utm32.map --pixel 0,0 --latlon 46.17,7.05\n"
       "Exit codes: 0 read, 1 the map could not be read (the reason on stderr), 2 bad arguments.\n"},
      {"scan", "list the maps of some folders as the map list shows them", RunScan,
       "usage: quiltor-cli scan --folder DIR... [--json]\n"
       "\n"
       "Scans the \".map\" files of each folder (not of its subfolders; at most 2500 maps in all) as\n"
       "\"Scan Folders\" does for the ticked folders, then prints the folder rows and the map list\n"
       "sorted from the most to the least detailed map: tick, title, pixel scale (metres per pixel),\n"
       "the folder row the map came from and its status (ok, not found, unsupported, Protected Map\n"
       "Image), followed by the maps that had errors and could not be processed. --json prints one\n"
       "object with folders, maps and mapErrors. Ctrl-C stops the scan at the next map file.\n"
       "Example: quiltor-cli scan --folder samples --folder ~/maps/alps\n"
       "Exit codes: 0 scanned, 1 interrupted, 2 bad arguments or a folder that does not exist.\n"},
      {"rasterinfo", "show the size, pixel mode and zoom levels of an image", RunRasterInfo,
       "usage: quiltor-cli rasterinfo IMAGE [--json]\n"
       "\n"
       "Opens IMAGE as a map's image is opened (the extension chooses the reader: bmp, jpg, png, gif,\n"
       "tif, kap/nos, qtx, qtx2, qtxx3, and the temporary qtx0/qtxx0) and prints its kind, whether it\n"
       "is decoded whole into memory or read row by row, its size, the pixel mode its rows come in\n"
       "(1 palette indices with a 256-entry palette, 3 blue, green, red), and whether a map may use it\n"
       "(ok, not a map image kind, Protected Map Image). For the tiled kinds it also prints the scheme\n"
       "version (-1 plain, 0 to 2 scrambled), whether tiles are deflated, and the size and tile count\n"
       "of every zoom level, level 0 being the full size. --json prints one object (image, kind,\n"
       "decodedWhole, width, height, pixelMode, paletteSize, mapImage, and for tiled images\n"
       "schemeVersion, scrambled, headerVersion, levels).\n"
       "Example: quiltor-cli rasterinfo out/demo.qtx2\n"
       "Exit codes: 0 read, 1 the image cannot be opened (the reason on stderr), 2 bad arguments.\n"},
      {"preview", "write an image, or one zoom level of a tiled image, as PNG", RunPreview,
       "usage: quiltor-cli preview IMAGE [--level N] -o OUT.png\n"
       "\n"
       "Decodes IMAGE through the same readers a create uses and writes it to OUT.png: an 8-bit\n"
       "palette PNG when its rows are palette indices, a true-colour PNG otherwise. Without --level\n"
       "the whole image is read row by row (level 0 of a tiled image); --level N decodes zoom level N\n"
       "of a tiled image instead (\"quiltor-cli rasterinfo\" lists the levels; the last is the small\n"
       "overview). OUT.png is written under a temporary name and replaces an existing file only when\n"
       "complete. Prints OUT.png and the size written.\n"
       "Example: quiltor-cli preview out/demo.qtx2 --level 1 -o out/demo-preview.png\n"
       "Exit codes: 0 written, 1 the image cannot be read or OUT.png cannot be written (the reason on\n"
       "stderr), 2 bad arguments, --level on an image that is not tiled, or a level the file does\n"
       "not have (the levels it has are named).\n"},
      {"tile", "convert one image into the tiled format with all zoom levels", RunTile,
       "usage: quiltor-cli tile IMAGE -o OUT.qtx2 [--colors N] [--resize P] [--temp DIR] [--scrambled]\n"
       "\n"
       "Converts IMAGE (bmp, jpg, png, gif, tif, kap/nos, qtx, qtx2, qtxx3) into the tiled multi-zoom\n"
       "format as the last stage of a create does: the full-size level reduced to --colors colours\n"
       "(default 254, at most 254) at --resize percent (default 100), the 25, 10, 5, 2.5 and 1 %\n"
       "levels the size allows, a thumbnail and an overview level. Intermediate files go to a private\n"
       "folder inside --temp (default the system temporary folder), removed at the end. OUT is\n"
       "written under a temporary name and replaces an existing file only when complete; Ctrl-C\n"
       "stops cleanly. --scrambled writes the scrambled variant with this program's own tables\n"
       "(readable only by this program). Prints the path written (a name equal to IMAGE gets \"_1\").\n"
       "Exit codes: 0 written, 1 refused or failed (the reason on stderr), 2 bad arguments.\n"},
  };
  return commands;
}

}  // namespace quiltor::cli
