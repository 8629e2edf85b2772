meta:
  id: zip
  title: ZIP archive
  file-extension: [zip, jar, apk, docx, xlsx, odt]
  xref:
    mime: [application/zip, application/java-archive]
  endian: le
doc: |
  Read from its end, as a reader of the format does: the end of central
  directory record in the last 22 bytes (an archive comment is not looked
  for), the ZIP64 locator and record before it where the counts or the
  offset overflow, the central directory where they point, and each
  entry's local header where its central record points. Nothing is
  walked.
instances:
  end_of_central_directory:
    pos: _io.size - 22
    type: end_of_central_directory
  has_zip64:
    value: >-
      end_of_central_directory.entries_total == 0xffff
      or end_of_central_directory.central_directory_size == 0xffffffff
      or end_of_central_directory.central_directory_offset == 0xffffffff
  zip64_locator:
    pos: _io.size - 22 - 20
    type: zip64_locator
    if: has_zip64
  zip64_end_of_central_directory:
    pos: zip64_locator.record_offset
    type: zip64_end_of_central_directory
    if: has_zip64
  entry_count:
    value: 'has_zip64 ? zip64_end_of_central_directory.entries_total : end_of_central_directory.entries_total'
  central_directory_offset:
    value: 'has_zip64 ? zip64_end_of_central_directory.central_directory_offset : end_of_central_directory.central_directory_offset'
  central_directory:
    pos: central_directory_offset
    type: central_directory_entry
    repeat: expr
    repeat-expr: entry_count
types:
  end_of_central_directory:
    seq:
      - id: signature
        contents: ["PK", 5, 6]
      - id: disk
        type: u2
      - id: central_directory_disk
        type: u2
      - id: entries_on_disk
        type: u2
      - id: entries_total
        type: u2
      - id: central_directory_size
        type: u4
      - id: central_directory_offset
        type: u4
      - id: comment_length
        type: u2
  zip64_locator:
    seq:
      - id: signature
        contents: ["PK", 6, 7]
      - id: record_disk
        type: u4
      - id: record_offset
        type: u8
      - id: disk_count
        type: u4
  zip64_end_of_central_directory:
    seq:
      - id: signature
        contents: ["PK", 6, 6]
      - id: record_size
        type: u8
      - id: version_made_by
        type: u2
      - id: version_needed
        type: u2
      - id: disk
        type: u4
      - id: central_directory_disk
        type: u4
      - id: entries_on_disk
        type: u8
      - id: entries_total
        type: u8
      - id: central_directory_size
        type: u8
      - id: central_directory_offset
        type: u8
  central_directory_entry:
    seq:
      - id: signature
        contents: ["PK", 1, 2]
      - id: version_made_by
        type: u2
      - id: version_needed
        type: u2
      - id: flags
        type: u2
      - id: compression
        type: u2
        enum: compression
      - id: modified_time
        type: u2
      - id: modified_date
        type: u2
      - id: crc32
        type: u4
      - id: compressed_size
        type: u4
      - id: uncompressed_size
        type: u4
      - id: name_length
        type: u2
      - id: extra_length
        type: u2
      - id: comment_length
        type: u2
      - id: disk_start
        type: u2
      - id: internal_attributes
        type: u2
      - id: external_attributes
        type: u4
      - id: local_header_offset
        type: u4
      - id: name
        type: str
        size: name_length
        encoding: UTF-8
      - id: extra
        size: extra_length
        type: extra_fields
      - id: comment
        type: str
        size: comment_length
        encoding: UTF-8
    instances:
      zip64:
        value: extra.fields.first.body.as<zip64_extra>
        if: extra.fields.size > 0 and extra.fields.first.id == 1
      local_header_at:
        value: 'local_header_offset == 0xffffffff ? zip64.local_header_offset : local_header_offset'
      local_header:
        pos: local_header_at
        type: local_header
  extra_fields:
    seq:
      - id: fields
        type: extra_field
        repeat: eos
  extra_field:
    seq:
      - id: id
        type: u2
      - id: length
        type: u2
      - id: body
        size: length
        type:
          switch-on: id
          cases:
            1: zip64_extra
  zip64_extra:
    seq:
      - id: uncompressed_size
        type: u8
        if: _parent._parent._parent.as<central_directory_entry>.uncompressed_size == 0xffffffff
      - id: compressed_size
        type: u8
        if: _parent._parent._parent.as<central_directory_entry>.compressed_size == 0xffffffff
      - id: local_header_offset
        type: u8
        if: _parent._parent._parent.as<central_directory_entry>.local_header_offset == 0xffffffff
  local_header:
    seq:
      - id: signature
        contents: ["PK", 3, 4]
      - id: version_needed
        type: u2
      - id: flags
        type: u2
      - id: compression
        type: u2
        enum: compression
      - id: modified_time
        type: u2
      - id: modified_date
        type: u2
      - id: crc32
        type: u4
      - id: compressed_size
        type: u4
      - id: uncompressed_size
        type: u4
      - id: name_length
        type: u2
      - id: extra_length
        type: u2
      - id: name
        type: str
        size: name_length
        encoding: UTF-8
      - id: extra
        size: extra_length
enums:
  compression:
    0: stored
    8: deflate
    9: deflate64
    12: bzip2
    14: lzma
    93: zstd
    95: xz
