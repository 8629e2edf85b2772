meta:
  id: sqlite
  title: SQLite 3 database (header and first page)
  file-extension: [sqlite, sqlite3, db]
  xref:
    mime: [application/vnd.sqlite3, application/x-sqlite3]
  endian: be
doc: |
  The 100-byte database header, then the b-tree page header of the first
  page (the schema table) and its cell pointers.
seq:
  - id: header
    type: header
  - id: schema_page
    type: btree_page_header
types:
  header:
    seq:
      - id: magic
        contents: ["SQLite format 3", 0]
      - id: page_size_raw
        type: u2
      - id: write_version
        type: u1
        enum: journal_mode
      - id: read_version
        type: u1
        enum: journal_mode
      - id: reserved_space
        type: u1
      - id: max_payload_fraction
        type: u1
      - id: min_payload_fraction
        type: u1
      - id: leaf_payload_fraction
        type: u1
      - id: change_counter
        type: u4
      - id: page_count
        type: u4
      - id: first_freelist_trunk
        type: u4
      - id: freelist_pages
        type: u4
      - id: schema_cookie
        type: u4
      - id: schema_format
        type: u4
      - id: default_cache_size
        type: u4
      - id: largest_root_page
        type: u4
      - id: text_encoding
        type: u4
        enum: text_encoding
      - id: user_version
        type: u4
      - id: incremental_vacuum
        type: u4
      - id: application_id
        type: u4
      - id: reserved
        size: 20
      - id: version_valid_for
        type: u4
      - id: sqlite_version
        type: u4
    instances:
      page_size:
        value: 'page_size_raw == 1 ? 65536 : page_size_raw'
  btree_page_header:
    seq:
      - id: page_type
        type: u1
        enum: page_type
      - id: first_freeblock
        type: u2
      - id: cell_count
        type: u2
      - id: cell_content_start
        type: u2
      - id: fragmented_free_bytes
        type: u1
      - id: right_most_pointer
        type: u4
        if: page_type == page_type::interior_index or page_type == page_type::interior_table
      - id: cell_pointers
        type: u2
        repeat: expr
        repeat-expr: cell_count
enums:
  journal_mode:
    1: legacy
    2: wal
  text_encoding:
    1: utf_8
    2: utf_16le
    3: utf_16be
  page_type:
    2: interior_index
    5: interior_table
    10: leaf_index
    13: leaf_table
