meta:
  id: wav
  title: WAVE audio (RIFF)
  file-extension: wav
  xref:
    mime: [audio/wav, audio/x-wav, audio/vnd.wave]
  endian: le
doc: |
  A RIFF container of form WAVE: its chunks, each padded to an even
  size; the format chunk is read into fields, the sample data stays bytes.
seq:
  - id: magic
    contents: "RIFF"
  - id: riff_size
    type: u4
  - id: form
    contents: "WAVE"
  - id: chunks
    size: riff_size - 4
    type: chunks
types:
  chunks:
    seq:
      - id: entries
        type: chunk
        repeat: eos
  chunk:
    seq:
      - id: id
        type: str
        size: 4
        encoding: ASCII
      - id: length
        type: u4
      - id: data
        size: length
        type:
          switch-on: id
          cases:
            '"fmt "': format
            '"LIST"': list
      - id: pad
        size: length % 2
  format:
    seq:
      - id: format_tag
        type: u2
        enum: format_tag
      - id: channels
        type: u2
      - id: sample_rate
        type: u4
      - id: byte_rate
        type: u4
      - id: block_align
        type: u2
      - id: bits_per_sample
        type: u2
      - id: extension_size
        type: u2
        if: not _io.eof
      - id: extension
        size: extension_size
        if: not _io.eof
  list:
    seq:
      - id: list_type
        type: str
        size: 4
        encoding: ASCII
      - id: items
        type: list_item
        repeat: eos
  list_item:
    seq:
      - id: id
        type: str
        size: 4
        encoding: ASCII
      - id: length
        type: u4
      - id: text
        type: str
        size: length
        terminator: 0
        encoding: ASCII
      - id: pad
        size: length % 2
enums:
  format_tag:
    0x0001: pcm
    0x0003: ieee_float
    0x0006: a_law
    0x0007: mu_law
    0xfffe: extensible
