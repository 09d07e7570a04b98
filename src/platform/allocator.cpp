// The memory allocator of the programs (the desktop program and the command line tool), linked
// into each of them and into nothing else: the libraries and their tests keep the system's.
//
// A large project's word list, the parsers' lexicons and their tables are hundreds of megabytes
// that are touched once each, all over. On the system's 4 KiB pages every one of those pages
// costs a page fault when first touched, and on a virtual machine a page fault is a trip through
// the hypervisor: a fifth of the processor time of a large project's parse went to them.
// jemalloc asks for transparent huge pages for everything it maps, its own bookkeeping
// included, so that one fault serves 2 MiB. Where the system gives no huge pages, or jemalloc
// is not to be had, nothing changes but the speed.
//
// One arena serves every thread. An arena of its own for each parsing thread would keep huge
// pages that are partly free in each: 200 MiB instead of 150 MiB at the peak with sixteen
// threads, and no faster, since each thread keeps a cache of its own for small blocks.
#if defined(TARNWICK_JEMALLOC)
#include <jemalloc/jemalloc.h>

// Read by jemalloc when the program starts.
const char* malloc_conf = "narenas:1,thp:always,metadata_thp:always";
#endif
