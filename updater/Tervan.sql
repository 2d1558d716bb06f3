-- The local store that ships with the updater: one row per installed
-- program or module of the maker. Every column is text.
CREATE TABLE AGGIOR (
  softxx TEXT NOT NULL UNIQUE COLLATE NOCASE,
  indiri TEXT,
  PercXx TEXT,
  Server TEXT,
  FreQue TEXT,
  Filexx TEXT,
  userid TEXT,
  ultima TEXT,
  downld TEXT
);
