/*
 * The data-file library: reading and writing data files in the statistics
 * package's own format (.sav), one C function per operation, each returning an
 * integer status code. It stands in for the package's own data-file library on
 * this platform and is implemented over ReadStat.
 *
 * Conventions
 *   - 0 (SAV_OK) is success; positive codes are errors; negative codes are
 *     warnings or conditions that callers may treat as success (a shortened
 *     label, the end of the cases, a missing value label).
 *   - A file handle is a small non-negative integer returned by sav_open_read or
 *     sav_open_write; every other call takes it. A variable handle is a double
 *     returned by sav_get_var_handle; callers pass it back unchanged. It names
 *     one variable of one open file: a handle of another file (or of a file
 *     since closed, even when its slot is reused) or any other double gives
 *     SAV_VARIABLE_NOT_FOUND.
 *   - A call with the handle of no open file gives SAV_INVALID_HANDLE; a reading
 *     call on a file open for writing SAV_OPEN_FOR_WRITING, a writing call on a
 *     file open for reading SAV_OPEN_FOR_READING. sav_get_var_handle serves
 *     both directions.
 *   - A null pointer where the call is to store its result gives
 *     SAV_INTERNAL_ERROR, and nothing is changed.
 *   - Names, labels and string values are NUL-terminated byte strings (UTF-8).
 *     A null pointer where a string is expected gives SAV_INVALID_VARIABLE_NAME
 *     (names) or is treated as the empty string (labels, values).
 *   - Not thread-safe: one thread uses the library at a time.
 *
 * Limits
 *   - SAV_MAX_OPEN_FILES files open at once (reading and writing together);
 *     one more gives SAV_FILE_TABLE_FULL.
 *   - Variable names: 1 to SAV_MAX_NAME_LENGTH bytes, starting with a letter
 *     (A-Z, a-z) or @, then letters, digits or . _ $ # @; not ending in "." and
 *     not a reserved word (ALL AND BY EQ GE GT LE LT NE NOT OR TO WITH), in any
 *     case. Names starting with # (scratch variables) or $ (system variables)
 *     cannot be stored in a data file and are refused. Names are compared
 *     without regard to case: "Fit" and "FIT" are the same variable.
 *   - Variables per file: at most 16,777,215 (beyond: SAV_NO_MEMORY).
 *   - Variable labels: up to SAV_MAX_VAR_LABEL_LENGTH bytes; a longer label is
 *     cut and SAV_VAR_LABEL_SHORTENED returned. File labels: up to
 *     SAV_MAX_FILE_LABEL_LENGTH bytes, else cut with SAV_FILE_LABEL_SHORTENED.
 *     Text is cut before a UTF-8 character that would not fit whole, so a cut
 *     label can be up to 3 bytes shorter than the limit.
 *   - String variables: 1 to SAV_MAX_SHORT_STRING bytes (longer strings are not
 *     written by this library: SAV_INVALID_LENGTH_CODE); numeric variables
 *     have length code 0. Files of other programs with longer strings are read:
 *     sav_get_var_names gives their width and sav_get_value_char their value.
 *   - Value labels are read for string values of up to SAV_MAX_SHORT_STRING
 *     bytes and are returned in a buffer of SAV_VALUE_LABEL_BUFFER bytes,
 *     room for the longest label a file holds (SAV_MAX_VALUE_LABEL_LENGTH
 *     bytes; a longer one in a file of another program is cut).
 *     Numeric value labels are neither returned nor written. Labels of string
 *     values are written (sav_set_var_value_label_char) up to
 *     SAV_MAX_VALUE_LABEL_LENGTH bytes; a longer label is cut and
 *     SAV_VALUE_LABEL_SHORTENED returned.
 *   - Cases per written file: at most 2,147,483,647 (the header counts them in
 *     32 bits; one more gives SAV_FILE_WRITE_ERROR from
 *     sav_commit_case_record).
 *
 * Format codes (type, decimals, width) use the package's numbering:
 * SAV_FORMAT_A (1), SAV_FORMAT_F (5), SAV_FORMAT_E (17). These three are the
 * formats this library writes; any other type code is refused
 * (SAV_INVALID_PRINT_FORMAT / SAV_INVALID_WRITE_FORMAT), as is a format outside
 * these ranges (those other readers of the format accept):
 *   A  string variables only; width equal to the variable's length, 0 decimals.
 *   F  numeric variables only; width 1 to 40, decimals 0 to 16 and below the
 *      width (F8.0, F8.6, F2.1).
 *   E  numeric variables only; width 6 to 40, decimals 0 to 16, and with d > 0
 *      decimals a width of at least d + 7 (E8.0, E6.0, E8.1, E10.3).
 * A new variable has print and write format F8.2 (numeric) or A<length>.
 *
 * Numbers: system-missing is -DBL_MAX (sav_system_missing_value()); a value
 * that is not a number is stored as system-missing. Every other double is
 * stored as it is, with one exception: with compression, negative zero is
 * stored as zero.
 *
 * Whole cases: a case can also be read and written as one record of
 * sav_get_case_size bytes, which is how an uncompressed file stores it: the
 * variables in file order, a numeric one as a double in this machine's byte
 * order (8 bytes), a string one as its bytes padded with blanks to the next
 * multiple of 8 bytes. A file of many variables (a proximity matrix has one
 * per object) is read and written this way at the speed of the disk instead
 * of one call per value.
 */
#ifndef KORVANA_SAV_DATA_FILE_LIBRARY_H
#define KORVANA_SAV_DATA_FILE_LIBRARY_H

#ifdef __cplusplus
extern "C" {
#endif

enum {
  SAV_MAX_OPEN_FILES = 64,
  SAV_MAX_NAME_LENGTH = 64,
  SAV_MAX_VAR_LABEL_LENGTH = 256,
  SAV_MAX_FILE_LABEL_LENGTH = 64,
  SAV_MAX_SHORT_STRING = 255,
  SAV_MAX_VALUE_LABEL_LENGTH = 120,
  SAV_VALUE_LABEL_BUFFER = SAV_MAX_VALUE_LABEL_LENGTH + 1
};

enum {
  SAV_FORMAT_A = 1,
  SAV_FORMAT_F = 5,
  SAV_FORMAT_E = 17
};

/* Status codes. */
enum {
  SAV_OK = 0,
  SAV_FILE_LABEL_SHORTENED = -1,  /* sav_set_file_label: label cut to the limit */
  SAV_VAR_LABEL_SHORTENED = -2,   /* sav_set_var_label: label cut to the limit */
  SAV_VALUE_LABEL_SHORTENED = -3, /* sav_set_var_value_label_char: label cut to
                                     the limit */
  SAV_END_OF_CASES = -5,          /* sav_read_case_record: no more cases */
  SAV_NO_VALUE_LABELS = -8,       /* the variable has no value labels at all */
  SAV_NO_LABEL_FOR_VALUE = -9,    /* the value has no label */

  SAV_FILE_OPEN_ERROR = 1,        /* the file cannot be opened or created */
  SAV_FILE_WRITE_ERROR = 2,       /* writing the file failed */
  SAV_FILE_READ_ERROR = 3,        /* reading the file failed (truncated, damaged);
                                     see sav_open_read for truncated files */
  SAV_FILE_TABLE_FULL = 4,        /* SAV_MAX_OPEN_FILES files are open */
  SAV_INVALID_HANDLE = 5,         /* not the handle of an open file */
  SAV_INVALID_FILE = 6,           /* not a data file of this format (no "$FL2" or
                                     "$FL3" header with a known layout: a text
                                     file, an empty file);
                                     sav_get_var_names: the file has no variables */
  SAV_NO_MEMORY = 7,              /* this library could not allocate memory */
  SAV_OPEN_FOR_READING = 8,       /* a writing call on a file open for reading */
  SAV_OPEN_FOR_WRITING = 9,       /* a reading call on a file open for writing */
  SAV_INVALID_VARIABLE_NAME = 10,
  SAV_NO_VARIABLES = 11,          /* sav_commit_header with an empty dictionary */
  SAV_VARIABLE_NOT_FOUND = 12,
  SAV_DUPLICATE_VARIABLE = 13,
  SAV_VARIABLE_NOT_NUMERIC = 14,
  SAV_VARIABLE_NOT_STRING = 15,
  SAV_LONG_STRING = 16,           /* a string variable too long for the call
                                     (sav_get_string_value_label: wider than
                                     SAV_MAX_SHORT_STRING) */
  SAV_INVALID_LENGTH_CODE = 17,
  SAV_INVALID_COMPRESSION = 19,
  SAV_INVALID_PRINT_FORMAT = 20,
  SAV_INVALID_WRITE_FORMAT = 21,
  SAV_DICTIONARY_COMMITTED = 30,  /* the dictionary has already been written */
  SAV_DICTIONARY_NOT_COMMITTED = 31, /* a value call, sav_commit_case_record or
                                     sav_close_write before sav_commit_header */
  SAV_NO_TYPE2_RECORD = 33,       /* a data file without variable records: its
                                     dictionary ends, breaks off or stops making
                                     sense before the first one */
  SAV_NO_TYPE999_RECORD = 46,     /* a data file whose dictionary does not end:
                                     after variable records it breaks off or
                                     stops making sense before its termination
                                     record */
  SAV_VALUE_TOO_LONG = 47,        /* a string value longer than its variable
                                     (trailing blanks not counted) */
  SAV_CANNOT_FREE_NAMES = 48,
  SAV_BUFFER_TOO_SHORT = 49,
  SAV_INVALID_CASE = 50,          /* no current case: none read yet, or after the end */
  SAV_INTERNAL_ERROR = 51,        /* a null pointer where a result is to be
                                     stored, or a failure inside the library
                                     that no other code describes */
  SAV_INVALID_TEXT = 52           /* a string value or value label that is not
                                     UTF-8 text: the files declare UTF-8, and a
                                     reader could not read it back */
};

/* Reading. */
/* Opens a data file ("$FL2", uncompressed or bytecode-compressed, or "$FL3",
   zlib-compressed, in either byte order) and reads it whole into memory: the
   file itself is closed again before the call returns. On success *handle is
   set; on failure it is left alone. SAV_FILE_OPEN_ERROR: the file does not
   exist, cannot be opened, or is not a regular file (a folder, a device).
   A file cut short is opened, and gives the cases it holds:
     - cut after a whole case: sav_read_case_record gives the cases there are,
       then SAV_END_OF_CASES (sav_get_number_of_cases still reports the count
       in the header);
     - cut inside a case (or damaged in its data so that a case cannot be
       decoded): the complete cases before it, then SAV_FILE_READ_ERROR from
       sav_read_case_record where the broken case would be, and from every
       later call. */
int sav_open_read(const char* fileName, int* handle);
/* The variables' names (as stored, case preserved) and types (0 numeric, else
   the string width), in file order, in arrays allocated with malloc: give them
   back with sav_free_var_names. */
int sav_get_var_names(int handle, int* numberOfVariables, char*** names, int** types);
/* The count of cases in the file header; when the header has none (-1), the
   count of cases the file holds. */
int sav_get_number_of_cases(int handle, int* numberOfCases);
/* The label of a string value of a string variable, copied into label (a buffer
   of SAV_VALUE_LABEL_BUFFER bytes, cut to fit, never inside a UTF-8 character,
   and always NUL-terminated). Values are compared byte for byte with trailing
   blanks ignored ("PROX" and "PROX    " are the same value; "prox" is not).
   SAV_VARIABLE_NOT_FOUND: no such variable; SAV_VARIABLE_NOT_STRING: it is
   numeric; SAV_LONG_STRING: wider than SAV_MAX_SHORT_STRING; SAV_VALUE_TOO_LONG:
   the value is longer than the variable; SAV_NO_VALUE_LABELS: the variable has
   none; SAV_NO_LABEL_FOR_VALUE: this value has none. */
int sav_get_string_value_label(int handle, const char* variableName, const char* value, char* label);
int sav_get_var_handle(int handle, const char* variableName, double* variableHandle);
/* Makes the next case current: SAV_OK; SAV_END_OF_CASES after the last case
   (and on every later call); SAV_FILE_READ_ERROR where a file cut inside a
   case breaks off (see sav_open_read), and on every later call. */
int sav_read_case_record(int handle);
/* The value of a string variable in the current case, right-padded with blanks
   to the variable's width as stored, NUL-terminated; bufferSize must exceed the
   width (else SAV_BUFFER_TOO_SHORT). A value that grew beyond the width when it
   was converted to UTF-8 is returned whole, unpadded, and needs a buffer
   longer than itself. Checked in this order: the variable
   (SAV_VARIABLE_NOT_FOUND, SAV_VARIABLE_NOT_STRING), the buffer, the case
   (SAV_INVALID_CASE before the first sav_read_case_record and after the end). */
int sav_get_value_char(int handle, double variableHandle, char* value, int bufferSize);
/* The value of a numeric variable in the current case; system-missing is
   sav_system_missing_value(). */
int sav_get_value_numeric(int handle, double variableHandle, double* value);
/* The size in bytes of one case record (see "Whole cases" above), for a file
   open for reading, or for writing once its dictionary is committed
   (SAV_DICTIONARY_NOT_COMMITTED before). */
int sav_get_case_size(int handle, long* caseSize);
/* The current case as one record of sav_get_case_size bytes: numbers as
   sav_get_value_numeric gives them, strings as sav_get_value_char does but
   cut at the variable's width (a value that grew beyond it when it was
   converted to UTF-8 is read whole with sav_get_value_char).
   SAV_INVALID_CASE as for sav_get_value_numeric. */
int sav_whole_case_in(int handle, char* caseRecord);
/* Gives back the arrays of sav_get_var_names. SAV_CANNOT_FREE_NAMES for a null
   names array with a positive count, or a negative count. */
int sav_free_var_names(char** names, int* types, int numberOfVariables);
int sav_close_read(int handle);

/* Writing. A file is written as: create, dictionary calls, sav_commit_header,
   then per case the value calls and sav_commit_case_record, then close. The
   file appears complete only when sav_close_write succeeds; until then (and if
   closing fails) the target file name is not replaced.
   Cases are written under a temporary name in the target's folder as they
   are added (a file of any size takes no more memory than a case);
   sav_close_write completes the file, syncs it to disk and renames it over
   the target. Dictionary calls after sav_commit_header give
   SAV_DICTIONARY_COMMITTED; value calls and sav_commit_case_record before it
   SAV_DICTIONARY_NOT_COMMITTED, and so does sav_get_var_handle. A file that
   replaces an existing one takes over that file's permission bits (an empty
   owner-only file reserved for the data stays owner-only); a new file gets
   the usual ones (0666 less the umask). */
/* Creates the temporary file at once: SAV_FILE_OPEN_ERROR when it cannot be
   created (no such folder, no permission) or when the target exists and is not
   a regular file this process may write. */
int sav_open_write(const char* fileName, int* handle);
int sav_set_file_label(int handle, const char* label);
/* 0: no compression (the default); 1: bytecode compression; anything else
   SAV_INVALID_COMPRESSION. */
int sav_set_compression(int handle, int compressionSwitch);
/* 1 (the default): sav_close_write syncs the file to disk before it renames
   it over the target; 0: it does not, for a scratch file that is read and
   removed at once (its cases then never need to reach the disk). Anything
   else gives SAV_INVALID_COMPRESSION. Allowed until the file is closed. */
int sav_set_sync(int handle, int syncSwitch);
/* lengthCode 0: numeric; 1 … SAV_MAX_SHORT_STRING: string of that many bytes.
   Checked in this order: the name (SAV_INVALID_VARIABLE_NAME), the length code
   (SAV_INVALID_LENGTH_CODE), duplicates (SAV_DUPLICATE_VARIABLE, without regard
   to case). */
int sav_set_var_name(int handle, const char* variableName, int lengthCode);
int sav_set_var_label(int handle, const char* variableName, const char* label);
/* Gives a value of a string variable a label. The value is compared byte for
   byte with trailing blanks ignored; labelling a value again replaces its
   label. Labels are written in the order the values were first labelled.
   Checked in this order: the dictionary (SAV_DICTIONARY_COMMITTED), the name
   (SAV_INVALID_VARIABLE_NAME for a null name, SAV_VARIABLE_NOT_FOUND), the
   type (SAV_VARIABLE_NOT_STRING for a numeric variable), the value
   (SAV_VALUE_TOO_LONG when it is longer than the variable, trailing blanks
   not counted), the text (SAV_INVALID_TEXT when the value or the label is not
   well-formed UTF-8). A label longer than SAV_MAX_VALUE_LABEL_LENGTH bytes is cut
   (never inside a UTF-8 character) and SAV_VALUE_LABEL_SHORTENED returned; a
   null label is the empty string. */
int sav_set_var_value_label_char(int handle, const char* variableName, const char* value,
                                 const char* label);
/* The formats described at the top; a refused format leaves the variable's
   format as it was. Print and write formats are stored separately. */
int sav_set_var_write_format(int handle, const char* variableName, int type, int decimals, int width);
int sav_set_var_print_format(int handle, const char* variableName, int type, int decimals, int width);
/* Freezes the dictionary: SAV_NO_VARIABLES when it has none. */
int sav_commit_header(int handle);
double sav_system_missing_value(void);
/* Values of the case being filled. A case starts with every numeric value
   system-missing and every string blank; a refused value leaves it as it was.
   A value that is not a number is stored as system-missing. */
int sav_set_value_numeric(int handle, double variableHandle, double value);
/* A string longer than the variable gives SAV_VALUE_TOO_LONG, unless all that
   is beyond the width is blanks; one that is not well-formed UTF-8 gives
   SAV_INVALID_TEXT. A null value is the empty string. */
int sav_set_value_char(int handle, double variableHandle, const char* value);
/* Adds the case being filled to the file and starts a new, blank one. Before
   sav_commit_header: SAV_DICTIONARY_NOT_COMMITTED, as for the value calls (its
   precondition is a committed dictionary, not an open one). Cases go to the
   file as they are added; SAV_FILE_WRITE_ERROR when it cannot be written
   (a full disk), and from then on. */
int sav_commit_case_record(int handle);
/* Sets every value of the case being filled from one record (see "Whole
   cases" above) and adds the case, in place of the value calls and
   sav_commit_case_record. Numbers are taken as sav_set_value_numeric takes
   them. A string value is its slot without trailing blanks: longer than the
   variable's width it gives SAV_VALUE_TOO_LONG, not UTF-8 SAV_INVALID_TEXT,
   and nothing is added (the case being filled is as it was); bytes between
   the width and the end of the slot are written as blanks. */
int sav_whole_case_out(int handle, const char* caseRecord);
/* Writes the file and releases the handle, whatever the result. SAV_OK: the
   file is complete under its name. SAV_FILE_WRITE_ERROR (writing, syncing or
   renaming failed) or SAV_NO_MEMORY: nothing is left behind and an existing
   target is unchanged. Without a committed dictionary nothing is written and
   the result is SAV_DICTIONARY_NOT_COMMITTED. Values set but not committed
   with sav_commit_case_record are not written. */
int sav_close_write(int handle);
/* Gives up a file being written and releases the handle: nothing is written,
   the temporary file is removed and an existing target is unchanged.
   SAV_INVALID_HANDLE or SAV_OPEN_FOR_READING as for the other writing calls. */
int sav_discard_write(int handle);

#ifdef __cplusplus
}
#endif

#endif
