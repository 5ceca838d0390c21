-- The console's own tables in a PostgreSQL database. `zastore init` runs this
-- file inside the schema that config/sqlSchema.lst names (SCHEMA, by default
-- "zarvo"), with that schema first on the search path; running it again
-- changes nothing. People are not here: they come from the site's employee
-- table (EMPTBL, key column PRIMARYKEY), which the console only reads, so
-- nothing below refers to it and a person who leaves it leaves a
-- non-current account behind.

CREATE TABLE IF NOT EXISTS za_setup (
  id integer PRIMARY KEY CHECK (id = 1),
  done_at timestamptz NOT NULL DEFAULT now(),
  version integer NOT NULL
);

CREATE TABLE IF NOT EXISTS za_accounts (
  uid text PRIMARY KEY CHECK (uid <> ''),
  login text NOT NULL CHECK (login <> ''),
  admin boolean NOT NULL DEFAULT false,
  password_hash text NOT NULL DEFAULT '',
  name text NOT NULL DEFAULT '',        -- display name when the account was made
  created_at timestamptz NOT NULL DEFAULT now(),
  last_login timestamptz,
  seq bigserial NOT NULL                -- keeps accounts in the order they were made
);
-- User IDs, group IDs and login names are unique and looked up without
-- regard to letter case; each keeps the case it was given for display.
CREATE UNIQUE INDEX IF NOT EXISTS za_accounts_uid_key ON za_accounts (lower(uid));
CREATE UNIQUE INDEX IF NOT EXISTS za_accounts_login ON za_accounts (lower(login));

CREATE TABLE IF NOT EXISTS za_groups (
  gid text PRIMARY KEY CHECK (gid <> ''),
  name text NOT NULL CHECK (name <> ''),
  owner text NOT NULL REFERENCES za_accounts (uid) ON UPDATE CASCADE,
  shared boolean NOT NULL DEFAULT false
);
CREATE UNIQUE INDEX IF NOT EXISTS za_groups_gid_key ON za_groups (lower(gid));
CREATE INDEX IF NOT EXISTS za_groups_owner ON za_groups (lower(owner));
CREATE INDEX IF NOT EXISTS za_groups_name ON za_groups (name, gid);

CREATE TABLE IF NOT EXISTS za_members (
  gid text NOT NULL REFERENCES za_groups (gid) ON DELETE CASCADE ON UPDATE CASCADE,
  uid text NOT NULL REFERENCES za_accounts (uid) ON DELETE CASCADE ON UPDATE CASCADE,
  seq bigserial NOT NULL,               -- keeps members in the order they joined
  PRIMARY KEY (gid, uid)
);
CREATE INDEX IF NOT EXISTS za_members_uid ON za_members (lower(uid));

CREATE TABLE IF NOT EXISTS za_documents (
  gid text NOT NULL REFERENCES za_groups (gid) ON DELETE CASCADE ON UPDATE CASCADE,
  name text NOT NULL CHECK (name <> ''),
  description text NOT NULL DEFAULT '',
  owner text NOT NULL DEFAULT '',
  created_at timestamptz NOT NULL DEFAULT now(),
  seq bigserial NOT NULL,
  PRIMARY KEY (gid, name)
);

CREATE TABLE IF NOT EXISTS za_hotlist_people (
  uid text NOT NULL REFERENCES za_accounts (uid) ON DELETE CASCADE ON UPDATE CASCADE,
  person text NOT NULL,                 -- an employee key; people come and go
  seq bigserial NOT NULL,
  PRIMARY KEY (uid, person)
);
CREATE INDEX IF NOT EXISTS za_hotlist_people_uid ON za_hotlist_people (lower(uid));
CREATE INDEX IF NOT EXISTS za_hotlist_people_person ON za_hotlist_people (lower(person));

CREATE TABLE IF NOT EXISTS za_hotlist_groups (
  uid text NOT NULL REFERENCES za_accounts (uid) ON DELETE CASCADE ON UPDATE CASCADE,
  gid text NOT NULL REFERENCES za_groups (gid) ON DELETE CASCADE ON UPDATE CASCADE,
  seq bigserial NOT NULL,
  PRIMARY KEY (uid, gid)
);
CREATE INDEX IF NOT EXISTS za_hotlist_groups_uid ON za_hotlist_groups (lower(uid));
CREATE INDEX IF NOT EXISTS za_hotlist_groups_gid ON za_hotlist_groups (gid);

CREATE TABLE IF NOT EXISTS za_preferences (
  uid text NOT NULL REFERENCES za_accounts (uid) ON DELETE CASCADE ON UPDATE CASCADE,
  key text NOT NULL,
  value text NOT NULL DEFAULT ''
);
-- Preference names, like IDs, do not depend on letter case.
CREATE UNIQUE INDEX IF NOT EXISTS za_preferences_key ON za_preferences (uid, lower(key));
CREATE INDEX IF NOT EXISTS za_preferences_uid ON za_preferences (lower(uid));

-- Bytes of data that users and groups keep, as the suite's programs report them.
CREATE TABLE IF NOT EXISTS za_user_usage (
  uid text PRIMARY KEY REFERENCES za_accounts (uid) ON DELETE CASCADE ON UPDATE CASCADE,
  bytes bigint NOT NULL DEFAULT 0 CHECK (bytes >= 0)
);
CREATE INDEX IF NOT EXISTS za_user_usage_uid ON za_user_usage (lower(uid));

CREATE TABLE IF NOT EXISTS za_group_usage (
  gid text PRIMARY KEY REFERENCES za_groups (gid) ON DELETE CASCADE ON UPDATE CASCADE,
  bytes bigint NOT NULL DEFAULT 0 CHECK (bytes >= 0)
);
CREATE INDEX IF NOT EXISTS za_group_usage_gid ON za_group_usage (lower(gid));
