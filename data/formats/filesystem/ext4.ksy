meta:
  id: ext4
  title: ext2, ext3 and ext4 file systems (superblock and group descriptors)
  file-extension: [ext2, ext3, ext4]
  xref:
    mime: application/x-ext4-image
  endian: le
doc: |
  The superblock at byte 1024 and the block group descriptor table in the
  block after it (descriptors of 32 bytes, or of the superblock's size
  with the 64bit feature).
seq:
  - id: boot_area
    size: 1024
  - id: superblock
    size: 1024
    type: superblock
instances:
  block_size:
    value: 1024 << superblock.log_block_size
  group_count:
    value: (superblock.blocks_count - superblock.first_data_block + superblock.blocks_per_group - 1) / superblock.blocks_per_group
  descriptor_size:
    value: 'superblock.is_64bit ? superblock.descriptor_size : 32'
  group_descriptors:
    pos: (superblock.first_data_block + 1) * block_size
    size: descriptor_size
    type: group_descriptor
    repeat: expr
    repeat-expr: group_count
types:
  superblock:
    seq:
      - id: inodes_count
        type: u4
      - id: blocks_count_lo
        type: u4
      - id: reserved_blocks_count_lo
        type: u4
      - id: free_blocks_count_lo
        type: u4
      - id: free_inodes_count
        type: u4
      - id: first_data_block
        type: u4
      - id: log_block_size
        type: u4
      - id: log_cluster_size
        type: u4
      - id: blocks_per_group
        type: u4
      - id: clusters_per_group
        type: u4
      - id: inodes_per_group
        type: u4
      - id: mount_time
        type: u4
      - id: write_time
        type: u4
      - id: mount_count
        type: u2
      - id: max_mount_count
        type: s2
      - id: magic
        contents: [0x53, 0xef]
      - id: state
        type: u2
        enum: state
      - id: errors
        type: u2
        enum: errors
      - id: minor_revision
        type: u2
      - id: last_check
        type: u4
      - id: check_interval
        type: u4
      - id: creator_os
        type: u4
        enum: creator_os
      - id: revision
        type: u4
      - id: default_reserved_uid
        type: u2
      - id: default_reserved_gid
        type: u2
      - id: first_inode
        type: u4
      - id: inode_size
        type: u2
      - id: block_group
        type: u2
      - id: compatible
        type: u4
      - id: incompatible
        type: incompatible_features
      - id: read_only_compatible
        type: u4
      - id: uuid
        size: 16
      - id: volume_name
        type: str
        size: 16
        terminator: 0
        encoding: UTF-8
      - id: last_mounted
        type: str
        size: 64
        terminator: 0
        encoding: UTF-8
      - id: algorithm_usage_bitmap
        type: u4
      - id: prealloc_blocks
        type: u1
      - id: prealloc_dir_blocks
        type: u1
      - id: reserved_gdt_blocks
        type: u2
      - id: journal_uuid
        size: 16
      - id: journal_inode
        type: u4
      - id: journal_device
        type: u4
      - id: last_orphan
        type: u4
      - id: hash_seed
        size: 16
      - id: default_hash_version
        type: u1
      - id: journal_backup_type
        type: u1
      - id: descriptor_size
        type: u2
      - id: default_mount_options
        type: u4
      - id: first_meta_block_group
        type: u4
      - id: mkfs_time
        type: u4
      - id: journal_blocks
        type: u4
        repeat: expr
        repeat-expr: 17
      - id: blocks_count_hi
        type: u4
      - id: reserved_blocks_count_hi
        type: u4
      - id: free_blocks_count_hi
        type: u4
      - id: min_extra_inode_size
        type: u2
      - id: want_extra_inode_size
        type: u2
      - id: flags
        type: u4
      - id: rest
        size: 664
      - id: checksum
        type: u4
    instances:
      is_64bit:
        value: incompatible.is_64bit
      blocks_count:
        value: 'is_64bit ? blocks_count_hi * 4294967296 + blocks_count_lo : blocks_count_lo'
  incompatible_features:
    meta:
      bit-endian: le
    seq:
      - id: compression
        type: b1
      - id: file_type
        type: b1
      - id: needs_recovery
        type: b1
      - id: journal_device
        type: b1
      - id: meta_block_groups
        type: b1
      - id: skip_0x20
        type: b1
      - id: extents
        type: b1
      - id: is_64bit
        type: b1
      - id: multiple_mount_protection
        type: b1
      - id: flexible_block_groups
        type: b1
      - id: extended_attribute_inodes
        type: b1
      - id: skip_0x800
        type: b1
      - id: directory_data
        type: b1
      - id: checksum_seed
        type: b1
      - id: large_directory
        type: b1
      - id: inline_data
        type: b1
      - id: encrypt
        type: b1
      - id: casefold
        type: b1
      - id: reserved
        type: b14
  group_descriptor:
    seq:
      - id: block_bitmap_lo
        type: u4
      - id: inode_bitmap_lo
        type: u4
      - id: inode_table_lo
        type: u4
      - id: free_blocks_count_lo
        type: u2
      - id: free_inodes_count_lo
        type: u2
      - id: used_dirs_count_lo
        type: u2
      - id: flags
        type: u2
      - id: exclude_bitmap_lo
        type: u4
      - id: block_bitmap_checksum_lo
        type: u2
      - id: inode_bitmap_checksum_lo
        type: u2
      - id: itable_unused_lo
        type: u2
      - id: checksum
        type: u2
      - id: high
        type: group_descriptor_high
        if: _io.size >= 64
  group_descriptor_high:
    seq:
      - id: block_bitmap_hi
        type: u4
      - id: inode_bitmap_hi
        type: u4
      - id: inode_table_hi
        type: u4
      - id: free_blocks_count_hi
        type: u2
      - id: free_inodes_count_hi
        type: u2
      - id: used_dirs_count_hi
        type: u2
      - id: itable_unused_hi
        type: u2
      - id: exclude_bitmap_hi
        type: u4
      - id: block_bitmap_checksum_hi
        type: u2
      - id: inode_bitmap_checksum_hi
        type: u2
      - id: reserved
        type: u4
enums:
  state:
    1: clean
    2: errors
    4: orphans
  errors:
    1: continue
    2: remount_read_only
    3: panic
  creator_os:
    0: linux
    1: hurd
    2: masix
    3: freebsd
    4: lites
