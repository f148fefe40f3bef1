// The reader of compiled documents, under the name earlier releases
// installed it by. New code includes <xmlcompiler/format/document_reader.h>.
#pragma once

#include <xmlcompiler/format/document_reader.h>
